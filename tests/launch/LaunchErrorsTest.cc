// Every way the launch workflow stops: each error code by its own cause,
// what the page then reads, and what the launcher gives back.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <thread>

#include "LauncherFixture.h"
#include "launch/ObjectNames.h"
#include "platform/NamedMutex.h"
#include "platform/NamedObjectFolder.h"
#include "platform/NamedSemaphore.h"

namespace qel::test {
namespace {

class LaunchErrorTest : public LauncherTest {
 protected:
  void ExpectFailed(TGameLauncher& launcher, TLaunchError code) {
    EXPECT_EQ(launcher.State(), lsFailed);
    EXPECT_EQ(launcher.ErrorCode(), code);
    EXPECT_EQ(launcher.GetProgress(), -code);
    EXPECT_EQ(launcher.GetShowKind(), -code);
  }

  // A launcher started on a current install whose config.ini is `config`.
  std::unique_ptr<TGameLauncher> StartCurrent(const TGameConfig& config, const std::string& update_info = "") {
    InstallCurrentGame(config);
    auto launcher = NewLauncher(kGameId, false, update_info);
    launcher->Start();
    return launcher;
  }

  // Runs the update step of a current install and answers the launcher
  // after it, in whatever state that step left it.
  std::unique_ptr<TGameLauncher> UpdateCurrent(const TGameConfig& config, const std::string& update_info = "") {
    auto launcher = StartCurrent(config, update_info);
    EXPECT_EQ(launcher->State(), lsUpdatePending);
    launcher->Tick();
    TickUntil(*launcher, [&] { return launcher->State() != lsUpdating; });
    return launcher;
  }

  // A current install brought to lsReady and launched into a new host window.
  std::unique_ptr<TGameLauncher> LaunchCurrent(const TGameConfig& config) {
    auto launcher = UpdateCurrent(config);
    EXPECT_EQ(launcher->State(), lsReady);
    launcher->Launch(Windows_.CreatePlainWindow(0, 0, 0, 10, 10));
    return launcher;
  }
};

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
  TTempFolder root;
  Roots_ = {root.Path()};
  auto launcher = std::make_unique<TGameLauncher>(Services());
  launcher->SetGameInfo(kGameId, false, 300, "", PluginFolder_.Path());
  EXPECT_EQ(launcher->RequiredSpaceMB(), 600);
  launcher->SetDownloader(&TFakeDownloader::Create, "", "", 1, 1);
  launcher->Start();
  ExpectFailed(*launcher, leInstallPath);
  EXPECT_FALSE(std::filesystem::exists(root / "tamblewick"));
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

TEST_F(LaunchErrorTest, ARecordedFolderOthersCanChangeIsNotLaunchedFromAndTheRecordStays) {
  const std::string folder = InstallCurrentGame();
  // Opened to all after the install, as a careless copy or another account
  // with the rights to would leave it.
  std::filesystem::permissions(folder, std::filesystem::perms::all);
  auto launcher = NewLauncher();
  launcher->Start();
  ExpectFailed(*launcher, leInstallPath);
  EXPECT_EQ(TGameRegister(PluginFolder_.Path()).GetPath(kGameId), folder);
  launcher.reset();

  // Closed again, the same record launches.
  std::filesystem::permissions(folder, std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
                                           std::filesystem::perms::group_exec);
  auto repaired = NewLauncher();
  repaired->Start();
  EXPECT_EQ(repaired->State(), lsUpdatePending);
}

TEST_F(LaunchErrorTest, APluginFolderOthersCanWriteIsNoDefaultPath) {
  InstallCurrentGame();
  std::filesystem::permissions(PluginFolder_.Path(), std::filesystem::perms::owner_all |
                                                        std::filesystem::perms::group_all);
  auto recorded = NewLauncher();
  recorded->Start();
  ExpectFailed(*recorded, leInstallPath);
  recorded.reset();
  // Nor is a new game installed there.
  auto fresh = NewLauncher("othergame");
  fresh->Start();
  ExpectFailed(*fresh, leInstallPath);
  EXPECT_FALSE(std::filesystem::exists(PluginFolder_ / "othergame"));
  std::filesystem::permissions(PluginFolder_.Path(), std::filesystem::perms::owner_all);
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
