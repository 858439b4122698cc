// Every way the launch workflow stops: each error code by its own cause,
// what the page then reads, and what the launcher gives back.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "LaunchErrorFixture.h"
#include "LaunchTestPlatform.h"
#include "launch/GameRegister.h"
#include "launch/ObjectNames.h"
#include "platform/NamedMutex.h"
#include "platform/NamedSemaphore.h"

namespace qel::test {
namespace {

TEST_F(LaunchErrorTest, ABusyGameFailsTheStart) {
  // The download mutex held by another instance.
  {
    TNamedMutex held(DownloadMutexName(kGameId));
    std::thread([&] { ASSERT_TRUE(held.Wait(0)); }).join();
    auto launcher = NewLauncher();
    launcher->Start();
    ExpectFailed(*launcher, leGameBusy);
  }
  // One unit held by a running multi-run instance: an instance that needs
  // all eight gives back what it took, and the mutex.
  InstallCurrentGame();
  TNamedSemaphore other(RunSemaphoreName(kGameId), kRunSemaphoreUnits);
  ASSERT_TRUE(other.TryAcquire());
  auto alone = NewLauncher();
  alone->Start();
  ExpectFailed(*alone, leGameBusy);
  EXPECT_EQ(alone->RunUnits(), 0);
  // ... while a multi-run instance still finds its one unit.
  auto shared = NewLauncher(kGameId, true);
  shared->Start();
  EXPECT_EQ(shared->State(), lsUpdatePending);
  EXPECT_EQ(shared->RunUnits(), 1);
}

// A download needs every run unit; with one held elsewhere the start fails,
// and the download mutex is free for others at once, not only once this
// launcher goes.
TEST_F(LaunchErrorTest, ADownloadThatFindsTheGameRunningGivesTheMutexBackAtOnce) {
  TNamedSemaphore other(RunSemaphoreName(kGameId), kRunSemaphoreUnits);
  ASSERT_TRUE(other.TryAcquire());
  auto launcher = NewLauncher();
  launcher->Start();
  ExpectFailed(*launcher, leGameBusy);
  EXPECT_EQ(launcher->RunUnits(), 0);
  EXPECT_TRUE(MutexFreeForOthers(kGameId));
  EXPECT_EQ(FreeUnits(kGameId), kRunSemaphoreUnits - 1);
}

TEST_F(LaunchErrorTest, AFailedDownloadGivesBackEverything) {
  auto launcher = NewLauncher();
  launcher->Start();
  FakeOf(*launcher).Break();
  launcher->Tick();
  ExpectFailed(*launcher, leDownloadFailed);
  EXPECT_EQ(launcher->RunUnits(), 0);
  auto next = NewLauncher();
  std::thread([&] { next->Start(); }).join();
  EXPECT_EQ(next->State(), lsDownloading);
  std::thread([&] { next.reset(); }).join();
}

TEST_F(LaunchErrorTest, AnUnreadableOrUnusableConfigurationFails) {
  // Too large to be a configuration: unreadable at the start.
  InstallCurrentGame();
  PutFile(PluginFolder_ / "samplegame/config.ini", std::string(17 * 1024 * 1024, ';'));
  auto unreadable = NewLauncher();
  unreadable->Start();
  ExpectFailed(*unreadable, leConfigInvalid);
  EXPECT_TRUE(MutexFreeForOthers(kGameId));
}

TEST_F(LaunchErrorTest, AnInitKindOtherThanOneOrTwoFailsTheLaunch) {
  TGameConfig config;
  config.InitKind = "3";
  ExpectFailed(*LaunchCurrent(config), leConfigInvalid);
}

TEST_F(LaunchErrorTest, TheUpdateStepFailsForEachOfItsCauses) {
  TGameConfig other_game;
  other_game.GameGuid = "othergame";
  ExpectFailed(*UpdateCurrent(other_game), leGuidMismatch);
}

TEST_F(LaunchErrorTest, AMissingUpdateModuleFails) {
  TGameConfig config;
  config.UpdateModule = "missing.so";
  InstallCurrentGame(config);
  std::filesystem::remove(PluginFolder_ / "samplegame/missing.so");
  auto launcher = NewLauncher();
  launcher->Start();
  launcher->Tick();
  ExpectFailed(*launcher, leUpdateModuleLoad);
}

TEST_F(LaunchErrorTest, AnUpdateModuleWithoutItsEntryFails) {
  const std::string folder = InstallCurrentGame();
  std::filesystem::copy_file(QEL_WRONG_NAME_MODULE, folder + "update.so",
                             std::filesystem::copy_options::overwrite_existing);
  auto launcher = NewLauncher();
  launcher->Start();
  launcher->Tick();
  ExpectFailed(*launcher, leUpdateEntryMissing);
}

TEST_F(LaunchErrorTest, AnUpdateRefusedOrFailingFails) {
  ExpectFailed(*UpdateCurrent({}, "return=5"), leUpdateFailed);
}

TEST_F(LaunchErrorTest, AnUpdateEndingWithStatusTwoFails) {
  ExpectFailed(*UpdateCurrent({}, "steps=1;stepms=1;status=2"), leUpdateFailed);
}

TEST_F(LaunchErrorTest, AnInitModuleThatDoesNotLoadOrLacksItsEntryFails) {
  TGameConfig config;
  config.InitKind = "1";
  config.InitModule = "init.so";
  ExpectFailed(*LaunchCurrent(config), leInitModuleLoad);
  // The update module has no InitGame.
  config.InitModule = "update.so";
  ExpectFailed(*LaunchCurrent(config), leInitEntryMissing);
}

TEST_F(LaunchErrorTest, AProgramThatCannotStartFails) {
  FailStart_ = true;
  ExpectFailed(*LaunchCurrent({}), leProcessStart);
}

TEST_F(LaunchErrorTest, AWindowThatDoesNotBecomeAChildFailsButIsShown) {
  auto launcher = LaunchCurrent({});
  ASSERT_EQ(launcher->State(), lsStarting);
  Windows_.FailSetParent = true;
  const TWindowHandle game = Windows_.AddTopLevel(kWindowTitle, kWindowClass, kGamePid);
  launcher->Tick();
  ExpectFailed(*launcher, leWindowEmbed);
  EXPECT_TRUE(Windows_.Windows[game].Visible);
  EXPECT_EQ(launcher->GameWindow(), 0u);
}

TEST_F(LaunchErrorTest, FailuresEscapingAStepFailTheLaunch) {
  auto broken = NewLauncher();
  broken->Start();
  FakeOf(*broken).FailPoll = true;
  broken->Tick();
  ExpectFailed(*broken, leInternal);

  // An unreadable "dataver.dat" (here a folder) is seen by the page too.
  const std::string folder = InstallCurrentGame({}, "othergame");
  std::filesystem::remove(folder + "dataver.dat");
  std::filesystem::create_directory(folder + "dataver.dat");
  auto unreadable = NewLauncher("othergame");
  unreadable->Start();
  ExpectFailed(*unreadable, leInternal);
  EXPECT_EQ(unreadable->RunUnits(), 0);
}

TEST_F(LaunchErrorTest, NoFolderWithRoomFailsTheStart) {
  // A disk size of 300 needs 600 MiB: exactly that much does not qualify.
  FreeBytes_ = uint64_t{600} * 1024 * 1024;
  TNativeTempFolder root;
  Roots_ = {root.Path()};
  auto launcher = std::make_unique<TGameLauncher>(Services());
  launcher->SetGameInfo(kGameId, false, 300, "", PluginFolder_.Path());
  EXPECT_EQ(launcher->RequiredSpaceMB(), 600);
  launcher->SetDownloader(&TFakeDownloader::Create, "", "", 1, 1);
  launcher->Start();
  ExpectFailed(*launcher, leInstallPath);
  EXPECT_FALSE(std::filesystem::exists(root / "tamblewick"));
}

TEST_F(LaunchErrorTest, ARecordedFolderOthersCanChangeIsNotLaunchedFromAndTheRecordStays) {
  const std::string folder = InstallCurrentGame();
  // Opened to all after the install, as a careless copy or another account
  // with the rights to would leave it.
  OpenFolderToOthers(folder);
  auto launcher = NewLauncher();
  launcher->Start();
  ExpectFailed(*launcher, leInstallPath);
  EXPECT_EQ(TGameRegister(PluginFolder_.Path()).GetPath(kGameId), folder);
  launcher.reset();

  // Closed again, the same record launches.
  CloseFolderToOthers(folder);
  auto repaired = NewLauncher();
  repaired->Start();
  EXPECT_EQ(repaired->State(), lsUpdatePending);
}

TEST_F(LaunchErrorTest, APluginFolderOthersCanWriteIsNoDefaultPath) {
  InstallCurrentGame();
  OpenFolderToGroup(PluginFolder_.Path());
  auto recorded = NewLauncher();
  recorded->Start();
  ExpectFailed(*recorded, leInstallPath);
  recorded.reset();
  // Nor is a new game installed there.
  auto fresh = NewLauncher("othergame");
  fresh->Start();
  ExpectFailed(*fresh, leInstallPath);
  EXPECT_FALSE(std::filesystem::exists(PluginFolder_ / "othergame"));
  CloseFolderToOthers(PluginFolder_.Path());
}

TEST_F(LaunchErrorTest, AnIdentifierThatIsNotAFolderNameGetsNoFolder) {
  auto launcher = NewLauncher("../escape");
  launcher->Start();
  ExpectFailed(*launcher, leInstallPath);
  EXPECT_FALSE(std::filesystem::exists(PluginFolder_ / "../escape"));
}

TEST_F(LaunchErrorTest, AFolderThatCannotBeRecordedFails) {
  // Another game's register entry is in the way as a folder.
  std::filesystem::create_directory(RegisterFile());
  auto launcher = NewLauncher();
  launcher->Start();
  ASSERT_EQ(launcher->State(), lsDownloading);
  WriteGame(launcher->InstallPath());
  FakeOf(*launcher).Finish();
  launcher->Tick();
  ExpectFailed(*launcher, leInstallPath);
}

class AbortTest : public LaunchErrorTest {};

TEST_F(AbortTest, AbortWhileDownloadingStopsTheDownloadAndGivesBackEverything) {
  auto launcher = NewLauncher();
  launcher->Start();
  launcher->AbortGame();
  ExpectFailed(*launcher, leAborted);
  EXPECT_EQ(FakeOf(*launcher).Aborts, 1);
  EXPECT_EQ(launcher->RunUnits(), 0);
  EXPECT_TRUE(MutexFreeForOthers(kGameId));
}

TEST_F(AbortTest, AbortBeforeTheGameRunsFailsButKeepsTheUnits) {
  auto pending = StartCurrent({});
  ASSERT_EQ(pending->State(), lsUpdatePending);
  pending->AbortGame();
  ExpectFailed(*pending, leAborted);
  EXPECT_EQ(pending->RunUnits(), 8);
  pending.reset();

  auto ready = UpdateCurrent({});
  ASSERT_EQ(ready->State(), lsReady);
  ready->AbortGame();
  ExpectFailed(*ready, leAborted);
  ready.reset();

  // A game that never opens its window waits until the abort.
  auto starting = LaunchCurrent({});
  for (int i = 0; i < 3; ++i) starting->Tick();
  ASSERT_EQ(starting->State(), lsStarting);
  starting->AbortGame();
  ExpectFailed(*starting, leAborted);
}

TEST_F(AbortTest, AbortWhileRunningClosesTheGameWindow) {
  const TWindowHandle game = Windows_.AddTopLevel(kWindowTitle, kWindowClass, kGamePid);
  auto launcher = LaunchCurrent({});
  ASSERT_EQ(launcher->State(), lsRunning);
  launcher->AbortGame();
  ExpectFailed(*launcher, leAborted);
  EXPECT_EQ(Windows_.CloseRequests, std::vector<TWindowHandle>{game});
  EXPECT_EQ(launcher->GameWindow(), 0u);
  // Nothing more happens on later aborts, ticks or destruction.
  launcher->AbortGame();
  launcher->Tick();
  launcher.reset();
  EXPECT_EQ(Windows_.CloseRequests.size(), 1u);
}

TEST_F(AbortTest, AbortWhenIdleOrFailedChangesNothing) {
  auto launcher = NewLauncher();
  launcher->AbortGame();
  EXPECT_EQ(launcher->State(), lsIdle);
  FreeBytes_ = 0;
  launcher->Start();
  ASSERT_EQ(launcher->ErrorCode(), leInstallPath);
  launcher->AbortGame();
  ExpectFailed(*launcher, leInstallPath);
}

}  // namespace
}  // namespace qel::test
