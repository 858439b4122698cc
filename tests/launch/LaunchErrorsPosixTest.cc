// The launch stops that rest on POSIX file facts: named objects' files and
// their folder's mode, and install folders of another owner.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "LaunchErrorFixture.h"
#include "launch/GameRegister.h"
#include "launch/ObjectNames.h"
#include "platform/NamedObjectFolder.h"

namespace qel::test {
namespace {

TEST_F(LaunchErrorTest, NamedObjectsThatCannotBeHadFailTheStart) {
  // Objects in a folder open to others are refused: the mutex fails first.
  TTempFolder open_folder;
  ASSERT_EQ(chmod(open_folder.Path().c_str(), 0777), 0);
  SetNamedObjectFolderForTesting(open_folder.Path());
  int reported = 0;
  auto no_mutex = NewLauncher();
  no_mutex->OnLaunchError = [&](TGameLauncher&, uint8_t code) { reported = code; };
  no_mutex->Start();
  ExpectFailed(*no_mutex, leMutexFailed);
  EXPECT_EQ(reported, leMutexFailed);

  // A link in the semaphore's place is never followed.
  SetNamedObjectFolderForTesting(Objects_.Path());
  std::filesystem::create_symlink("/dev/null", Objects_ / (RunSemaphoreName(kGameId) + ".semaphore"));
  auto no_semaphore = NewLauncher();
  no_semaphore->Start();
  ExpectFailed(*no_semaphore, leSemaphoreFailed);
}

// As a second account of the machine would: `path` made (if missing) and
// handed to another user, open to all. False when that needs root.
bool HandToAnotherUser(const std::string& path) {
  std::filesystem::create_directories(path);
  std::filesystem::permissions(path, std::filesystem::perms::all);
  return ::chown(path.c_str(), ::geteuid() + 1, static_cast<gid_t>(-1)) == 0;
}

TEST_F(LaunchErrorTest, AGameFolderAnotherUserMadeOnASharedDiskIsPassedOverNeverInstalledInto) {
  // Room only on two data disks; the first is open to all (with the sticky
  // bit, as such disks are), and another account made the game's folder there.
  TTempFolder shared;
  TTempFolder own;
  std::filesystem::permissions(shared.Path(), std::filesystem::perms::all | std::filesystem::perms::sticky_bit);
  if (!HandToAnotherUser(shared / "tamblewick/samplegame/") || !HandToAnotherUser(shared / "tamblewick/"))
    GTEST_SKIP() << "making folders of another user needs root";
  const auto launcher_with_roots = [&](std::vector<std::string> roots) {
    Roots_ = std::move(roots);
    TLaunchServices services = Services();
    services.FreeSpace = [&](const std::string& folder) {
      return std::optional<uint64_t>(folder == PluginFolder_.Path() ? 0 : uint64_t{1} << 40);
    };
    auto launcher = std::make_unique<TGameLauncher>(services);
    launcher->SetGameInfo(kGameId, false, 10, "", PluginFolder_.Path());
    launcher->SetDownloader(&TFakeDownloader::Create, "", "", 1, 1);
    launcher->Start();
    return launcher;
  };

  auto refused = launcher_with_roots({shared.Path()});
  ExpectFailed(*refused, leInstallPath);
  EXPECT_EQ(TGameRegister(PluginFolder_.Path()).GetPath(kGameId), "");
  refused.reset();
  // The choice goes on to the next disk.
  auto placed = launcher_with_roots({shared.Path(), own.Path()});
  EXPECT_EQ(placed->State(), lsDownloading);
  EXPECT_EQ(placed->InstallPath(), own / "tamblewick/samplegame/");
  EXPECT_EQ(std::filesystem::status(own / "tamblewick/samplegame/").permissions() &
                (std::filesystem::perms::group_write | std::filesystem::perms::others_write),
            std::filesystem::perms::none);
}

}  // namespace
}  // namespace qel::test
