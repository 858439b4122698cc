#include "platform/win32/DriveRoots.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "platform/DiskSpace.h"

namespace qel::win32 {
namespace {

using Roots = std::vector<std::string>;

constexpr unsigned kRemovable = 2;
constexpr unsigned kNetwork = 4;
constexpr unsigned kCdRom = 5;
constexpr unsigned kNoRoot = 1;

// A machine with the given drives; every other letter has none.
std::vector<std::string> RootsOf(const std::map<std::string, unsigned>& drives, Roots* asked = nullptr) {
  return FixedDriveRoots([&](const std::string& root) {
    if (asked != nullptr) asked->push_back(root);
    const auto drive = drives.find(root);
    return drive == drives.end() ? kNoRoot : drive->second;
  });
}

TEST(DriveRootsTest, OnlyFixedDrivesFromDToOInOrder) {
  EXPECT_EQ(RootsOf({{"C:\\", kFixedDrive},
                     {"D:\\", kCdRom},
                     {"E:\\", kFixedDrive},
                     {"F:\\", kRemovable},
                     {"G:\\", kNetwork},
                     {"H:\\", kFixedDrive},
                     {"O:\\", kFixedDrive},
                     {"P:\\", kFixedDrive},
                     {"Z:\\", kFixedDrive}}),
            (Roots{"E:\\", "H:\\", "O:\\"}));
  EXPECT_TRUE(RootsOf({{"C:\\", kFixedDrive}}).empty());
}

TEST(DriveRootsTest, AllTwelveAreAskedAboutAndCanBeUsed) {
  std::map<std::string, unsigned> drives;
  Roots expected;
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    const std::string root{letter, ':', '\\'};
    drives[root] = kFixedDrive;
    if (letter >= 'D' && letter <= 'O') expected.push_back(root);
  }
  Roots asked;
  EXPECT_EQ(RootsOf(drives, &asked), expected);
  EXPECT_EQ(asked, expected);
  EXPECT_EQ(expected.size(), kMaxFallbackRoots);
}

}  // namespace
}  // namespace qel::win32
