#include "platform/DiskSpace.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "TempFolder.h"

namespace qel {
namespace {

TEST(DiskSpaceTest, FreeSpaceOfARealFolderAndNothingForAMissingOne) {
  test::TTempFolder scratch;
  const std::optional<uint64_t> available = BytesAvailableToCaller(scratch.Path());
  ASSERT_TRUE(available.has_value());
  EXPECT_GT(*available, 0u);
  EXPECT_FALSE(BytesAvailableToCaller(scratch / "missing/").has_value());
}

TEST(DiskSpaceTest, FallbackRootsAreDistinctFoldersWithinTheLimit) {
  const std::vector<std::string> roots = FallbackInstallRoots();
  EXPECT_LE(roots.size(), kMaxFallbackRoots);
  for (size_t i = 0; i < roots.size(); ++i) {
    ASSERT_FALSE(roots[i].empty());
    EXPECT_TRUE(roots[i].back() == '/' || roots[i].back() == '\\') << roots[i];
    EXPECT_EQ(std::count(roots.begin(), roots.end(), roots[i]), 1) << roots[i];
  }
}

}  // namespace
}  // namespace qel
