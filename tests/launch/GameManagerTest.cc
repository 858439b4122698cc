// Manage mode: removing a game and resetting its data, only while no other
// instance uses it.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "LauncherFixture.h"
#include "launch/GameManager.h"
#include "launch/GameRegister.h"
#include "launch/ObjectNames.h"
#include "platform/NamedMutex.h"
#include "platform/NamedSemaphore.h"

namespace qel::test {
namespace {

class GameManagerTest : public LauncherTest {
 protected:
  std::string Register() { return FileContent(RegisterFile()); }
};

TEST_F(GameManagerTest, RemoveGameDropsTheRecordAndTheWholeFolder) {
  const std::string folder = InstallCurrentGame();
  std::filesystem::create_directories(folder + "data/maps");
  PutFile(folder + "data/maps/one.map", "map");
  std::filesystem::permissions(folder + "data/maps/one.map", std::filesystem::perms::owner_read);
  TGameManager manager(PluginFolder_.Path());
  EXPECT_EQ(manager.GetInstallPath("SAMPLEGAME"), folder);
  manager.RemoveGame("SampleGame");
  EXPECT_FALSE(std::filesystem::exists(folder));
  EXPECT_EQ(manager.GetInstallPath(kGameId), "");
  // Everything taken is given back.
  EXPECT_EQ(FreeUnits(kGameId), 8);
  EXPECT_TRUE(MutexFreeForOthers(kGameId));
}

TEST_F(GameManagerTest, NothingIsRemovedWhileAnotherInstanceUsesTheGame) {
  const std::string folder = InstallCurrentGame();
  auto running = NewLauncher(kGameId, true);
  running->Start();
  ASSERT_EQ(running->RunUnits(), 1);
  const std::string before = Register();
  TGameManager manager(PluginFolder_.Path());
  manager.RemoveGame(kGameId);
  EXPECT_TRUE(std::filesystem::exists(folder + "config.ini"));
  EXPECT_EQ(Register(), before);
  manager.ResetData(kGameId);
  EXPECT_EQ(FileContent(folder + "dataver.dat").substr(0, 1), std::string(1, '\x03'));
  // The other instance's unit is still its own.
  EXPECT_EQ(FreeUnits(kGameId), 7);
}

TEST_F(GameManagerTest, ABusyDownloadMutexStopsRemoval) {
  const std::string folder = InstallCurrentGame();
  TNamedMutex held(DownloadMutexName(kGameId));
  std::thread([&] { ASSERT_TRUE(held.Wait(0)); }).join();
  TGameManager manager(PluginFolder_.Path());
  manager.RemoveGame(kGameId);
  EXPECT_TRUE(std::filesystem::exists(folder));
  EXPECT_EQ(FreeUnits(kGameId), 8);
}

TEST_F(GameManagerTest, ARecordWhoseFolderWasDeletedByHandStays) {
  const std::string folder = InstallCurrentGame();
  std::filesystem::remove_all(folder);
  const std::string before = Register();
  TGameManager manager(PluginFolder_.Path());
  manager.RemoveGame(kGameId);
  EXPECT_EQ(Register(), before);
  manager.RemoveGame("notinstalled");
  EXPECT_EQ(Register(), before);
}

TEST_F(GameManagerTest, RemovalNeverFollowsALinkOutOfTheFolder) {
  const std::string folder = InstallCurrentGame();
  TNativeTempFolder elsewhere;
  PutFile(elsewhere / "keep.txt", "keep");
  std::error_code unsupported;
  std::filesystem::create_directory_symlink(elsewhere.Path(), folder + "linked", unsupported);
  // MinGW's standard library makes no links on Windows.
  if (unsupported == std::errc::function_not_supported) GTEST_SKIP() << "no symbolic links here";
  ASSERT_FALSE(unsupported) << unsupported.message();
  TGameManager manager(PluginFolder_.Path());
  manager.RemoveGame(kGameId);
  EXPECT_FALSE(std::filesystem::exists(folder));
  EXPECT_EQ(FileContent(elsewhere / "keep.txt"), "keep");
}

TEST_F(GameManagerTest, ResetDataZeroesTheInstalledVersionsAndKeepsTheRest) {
  const std::string folder = InstallCurrentGame();
  std::string record(60, '\0');
  for (size_t i = 0; i < record.size(); ++i) record[i] = static_cast<char>(i + 1);
  PutFile(folder + "dataver.dat", record);
  TGameManager manager(PluginFolder_.Path());
  manager.ResetData(kGameId);
  const std::string after = FileContent(folder + "dataver.dat");
  ASSERT_EQ(after.size(), 60u);
  EXPECT_EQ(after.substr(0, 8), std::string(8, '\0'));
  EXPECT_EQ(after.substr(8), record.substr(8));
  EXPECT_EQ(FreeUnits(kGameId), 8);

  // The next launcher fetches both packs again.
  auto launcher = NewLauncher();
  launcher->Start();
  EXPECT_EQ(launcher->State(), lsDownloading);
}

TEST_F(GameManagerTest, AShortVersionFileIsCompletedWithZeros) {
  const std::string folder = InstallCurrentGame();
  PutFile(folder + "dataver.dat", std::string(12, '\x07'));
  TGameManager(PluginFolder_.Path()).ResetData(kGameId);
  EXPECT_EQ(FileContent(folder + "dataver.dat"), std::string(8, '\0') + std::string(4, '\x07') + std::string(48, '\0'));
}

TEST_F(GameManagerTest, ResetDataWithoutAVersionFileDoesNothing) {
  const std::string folder = InstallCurrentGame();
  std::filesystem::remove(folder + "dataver.dat");
  TGameManager(PluginFolder_.Path()).ResetData(kGameId);
  EXPECT_FALSE(std::filesystem::exists(folder + "dataver.dat"));
}

}  // namespace
}  // namespace qel::test
