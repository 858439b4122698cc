// Who may change what a folder holds, judged from the folder itself.
#include "platform/FolderTrust.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "TempFolder.h"

namespace qel {
namespace {

namespace fs = std::filesystem;

TEST(FolderTrustTest, OnlyAFolderOfTheUserOrTheAdministratorClosedToOthersIsTheUsersAlone) {
  test::TTempFolder base;
  const std::string folder = base / "f";
  EXPECT_EQ(TrustOfFolder(folder), ftMissing);
  fs::create_directory(folder);
  fs::permissions(folder, fs::perms::owner_all | fs::perms::group_read | fs::perms::others_exec);
  EXPECT_EQ(TrustOfFolder(folder), ftUsersAlone);
  EXPECT_EQ(TrustOfFolder(folder + "/"), ftUsersAlone);

  fs::permissions(folder, fs::perms::all);
  EXPECT_EQ(TrustOfFolder(folder), ftOpen);
  fs::permissions(folder, fs::perms::owner_all | fs::perms::group_write);
  EXPECT_EQ(TrustOfFolder(folder), ftOpen);
  // As /tmp: others may add entries but not move ours.
  fs::permissions(folder, fs::perms::all | fs::perms::sticky_bit);
  EXPECT_EQ(TrustOfFolder(folder), ftStickyShared);

  // A link is judged as a link, also with a separator after it.
  fs::create_directory_symlink(folder, base / "link");
  EXPECT_EQ(TrustOfFolder(base / "link"), ftOpen);
  EXPECT_EQ(TrustOfFolder(base / "link/"), ftOpen);
  test::PutFile(base / "file", "");
  EXPECT_EQ(TrustOfFolder(base / "file"), ftOpen);

  // Whoever owns a folder may change it, sticky bit or not.
  fs::permissions(folder, fs::perms::owner_all);
  if (::chown(folder.c_str(), ::geteuid() + 1, static_cast<gid_t>(-1)) != 0)
    GTEST_SKIP() << "a folder of another user needs root";
  EXPECT_EQ(TrustOfFolder(folder), ftOpen);
}

}  // namespace
}  // namespace qel
