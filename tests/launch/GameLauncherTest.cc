// The launch workflow from Start to a running game, with windows in memory
// and a downloader the test drives; the sample game's real update module
// runs its worker.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "LauncherFixture.h"
#include "launch/GameRegister.h"
#include "launch/ObjectNames.h"
#include "platform/ProcessEnvironment.h"

namespace qel::test {
namespace {

TEST_F(LauncherTest, AFreshInstallRunsThroughEveryStateToTheRunningGame) {
  auto launcher = NewLauncher();
  int running_calls = 0;
  launcher->OnGameRunning = [&](TGameLauncher&) { ++running_calls; };
  launcher->Start();

  // Downloading, in the game's own folder beside the plug-in.
  EXPECT_EQ(launcher->State(), lsDownloading);
  EXPECT_TRUE(launcher->NewInstall());
  EXPECT_EQ(launcher->InstallPath(), PluginFolder_ / "samplegame/");
  EXPECT_TRUE(std::filesystem::is_directory(launcher->InstallPath()));
  EXPECT_EQ(launcher->RunUnits(), 8);
  EXPECT_FALSE(MutexFreeForOthers(kGameId));
  TFakeDownloader& downloader = FakeOf(*launcher);
  EXPECT_EQ(downloader.Starts, 1);
  EXPECT_TRUE(downloader.IgnoreVersionFile);
  EXPECT_EQ(downloader.GameGuid, kGameId);
  EXPECT_EQ(downloader.DataDir(), launcher->InstallPath());

  // 445 of 1000 bytes is 39 % of the download, shown as 35.
  downloader.Receive(445, 1000);
  launcher->Tick();
  EXPECT_EQ(launcher->GetProgress(), 35);
  EXPECT_EQ(launcher->GetShowKind(), 0);

  WriteGame(launcher->InstallPath());
  downloader.Finish();
  EXPECT_EQ(launcher->GetProgress(), 90);
  launcher->Tick();
  EXPECT_EQ(launcher->State(), lsUpdatePending);
  EXPECT_EQ(launcher->RunUnits(), 8);
  EXPECT_TRUE(MutexFreeForOthers(kGameId));
  // Recorded as the game's folder beside the register.
  EXPECT_NE(FileContent(RegisterFile()).find("default path"), std::string::npos);
  EXPECT_EQ(TGameRegister(PluginFolder_.Path()).GetPath("SampleGame"), PluginFolder_ / "samplegame/");

  launcher->Tick();
  EXPECT_EQ(launcher->State(), lsUpdating);
  EXPECT_EQ(launcher->Downloader(), nullptr);
  ASSERT_TRUE(TickUntil(*launcher, [&] { return launcher->State() != lsUpdating; }));
  EXPECT_EQ(launcher->State(), lsReady);
  EXPECT_EQ(launcher->GetProgress(), 100);
  // The update module's folder went on the search path first.
  EXPECT_NE(ReadEnvironmentVariable("PATH").value_or("").find(launcher->InstallPath()), std::string::npos);

  const TWindowHandle host = Windows_.CreatePlainWindow(0, 0, 0, 800, 600);
  launcher->SetLaunchInfo("abc", "", "", 7, 0, 3);
  launcher->Launch(host);
  EXPECT_EQ(launcher->State(), lsStarting);
  ASSERT_EQ(Started_.size(), 1u);
  EXPECT_EQ(Started_[0].Program, launcher->InstallPath() + "game");
  EXPECT_EQ(Started_[0].Parameters, "SrcID=7;Account=abc;GSID=3;");
  EXPECT_EQ(Started_[0].Folder, launcher->InstallPath());

  // Windows of the right title but another class or process are passed over;
  // the game's window is found on the first tick after it opened.
  Windows_.AddTopLevel(kWindowTitle, "Other", kGamePid);
  Windows_.AddTopLevel(kWindowTitle, kWindowClass, kGamePid + 1);
  launcher->Tick();
  EXPECT_EQ(launcher->State(), lsStarting);
  const TWindowHandle game = Windows_.AddTopLevel(kWindowTitle, kWindowClass, kGamePid);
  launcher->Tick();
  EXPECT_EQ(launcher->State(), lsRunning);
  EXPECT_EQ(launcher->GameWindow(), game);
  EXPECT_EQ(Windows_.GetParent(game), host);
  EXPECT_EQ(Windows_.ClientSize(game).Width, 800);
  EXPECT_EQ(Windows_.ClientSize(game).Height, 600);
  EXPECT_TRUE(Windows_.Windows[game].Visible);
  EXPECT_EQ(running_calls, 1);
  EXPECT_EQ(launcher->GetShowKind(), 1);
  EXPECT_EQ(launcher->RunUnits(), 8);

  launcher.reset();
  EXPECT_EQ(Windows_.CloseRequests, std::vector<TWindowHandle>{game});
  EXPECT_EQ(FreeUnits(kGameId), 8);
}

TEST_F(LauncherTest, AWindowAlreadyOpenAtLaunchIsEmbeddedAtOnce) {
  auto launcher = NewLauncher();
  BringToReady(*launcher);
  const TWindowHandle game = Windows_.AddTopLevel(kWindowTitle, kWindowClass, kGamePid);
  const TWindowHandle host = Windows_.CreatePlainWindow(0, 0, 0, 640, 480);
  launcher->Launch(host);
  EXPECT_EQ(launcher->State(), lsRunning);
  EXPECT_EQ(Windows_.GetParent(game), host);
  EXPECT_EQ(Windows_.Calls, (std::vector<std::string>{"hide", "move", "parent", "show"}));
}

TEST_F(LauncherTest, AGameThatReadsItsEnvironmentGetsThePasswordThereAloneOthersOnTheCommandLine) {
  const std::string full = "SrcID=7;Account=abc;Passwd=pw;GSID=3;";
  for (const std::string& setting : {std::string(), std::string("ParametersFromEnvironment=0\r\n"),
                                     std::string("ParametersFromEnvironment=1\r\n")}) {
    SCOPED_TRACE(setting);
    Started_.clear();
    auto launcher = NewLauncher();
    BringToReady(*launcher, {.MoreLines = setting});
    launcher->SetLaunchInfo("abc", "pw", "", 7, 0, 3);
    launcher->Launch(Windows_.CreatePlainWindow(0, 0, 0, 640, 480));
    ASSERT_EQ(Started_.size(), 1u);
    const bool reads_environment = setting.find("=1") != std::string::npos;
    EXPECT_EQ(Started_[0].Parameters, reads_environment ? "SrcID=7;Account=abc;GSID=3;" : full);
    EXPECT_EQ(Started_[0].EnvironmentParameters, reads_environment ? full : "");
  }
}

TEST_F(LauncherTest, WithMultiRunTheDownloaderGivesBackAllButOneUnit) {
  auto launcher = NewLauncher(kGameId, true);
  launcher->Start();
  EXPECT_EQ(launcher->RunUnits(), 8);
  WriteGame(launcher->InstallPath());
  FakeOf(*launcher).Finish();
  launcher->Tick();
  EXPECT_EQ(launcher->State(), lsUpdatePending);
  EXPECT_EQ(launcher->RunUnits(), 1);
  EXPECT_EQ(FreeUnits(kGameId), 7);
}

TEST_F(LauncherTest, CurrentDataGoesStraightToTheUpdateStep) {
  const std::string folder = InstallCurrentGame();
  auto launcher = NewLauncher();
  launcher->Start();
  EXPECT_EQ(launcher->State(), lsUpdatePending);
  EXPECT_FALSE(launcher->NewInstall());
  EXPECT_EQ(launcher->InstallPath(), folder);
  EXPECT_EQ(FakeOf(*launcher).Starts, 0);
  EXPECT_FALSE(FakeOf(*launcher).IgnoreVersionFile);
  EXPECT_EQ(launcher->RunUnits(), 8);
  EXPECT_TRUE(MutexFreeForOthers(kGameId));
  launcher->Tick();
  EXPECT_EQ(launcher->State(), lsUpdating);
}

TEST_F(LauncherTest, AnotherSpellingOfTheIdentifierFindsTheInstalledGame) {
  const std::string folder = InstallCurrentGame();
  auto launcher = NewLauncher("SampleGame");
  launcher->Start();
  EXPECT_EQ(launcher->InstallPath(), folder);
  EXPECT_EQ(launcher->State(), lsUpdatePending);
}

TEST_F(LauncherTest, ProgressFollowsTheUpdateModuleAndStopsShortOfAHundred) {
  InstallCurrentGame();
  // One step to 100 %, then it keeps working until told to stop.
  auto launcher = NewLauncher(kGameId, false, "steps=1;stepms=1;untilstop");
  launcher->Start();
  launcher->Tick();
  ASSERT_EQ(launcher->State(), lsUpdating);
  ASSERT_TRUE(TickUntil(*launcher, [&] { return launcher->GetProgress() == 99; }));
  EXPECT_EQ(launcher->State(), lsUpdating);
  // The abort only asks; the module's status decides.
  launcher->AbortGame();
  EXPECT_EQ(launcher->State(), lsUpdating);
  ASSERT_TRUE(TickUntil(*launcher, [&] { return launcher->State() == lsFailed; }));
  EXPECT_EQ(launcher->ErrorCode(), leUpdateFailed);
}

TEST_F(LauncherTest, DestructionStopsTheUpdateWorkerAndWaitsForItBeforeUnloading) {
  const std::string folder = InstallCurrentGame();
  auto launcher = NewLauncher(kGameId, false, "steps=1;stepms=1;untilstop");
  launcher->Start();
  launcher->Tick();
  ASSERT_EQ(launcher->State(), lsUpdating);
  launcher.reset();
  // Written by the worker just before it signals its handle.
  EXPECT_EQ(FileContent(folder + "update-worker-ended.txt"), "3\n");
}

TEST_F(LauncherTest, AStatusOtherThanOneTwoOrThreeKeepsWaiting) {
  InstallCurrentGame();
  auto launcher = NewLauncher(kGameId, false, "steps=2;stepms=1;status=4");
  launcher->Start();
  launcher->Tick();
  const std::string ended = launcher->InstallPath() + "update-worker-ended.txt";
  ASSERT_TRUE(TickUntil(*launcher, [&] { return std::filesystem::exists(ended); }));
  launcher->Tick();
  launcher->Tick();
  EXPECT_EQ(launcher->State(), lsUpdating);
}

TEST_F(LauncherTest, ANewInstallNeedsTwiceTheDiskSizeAndAtLeastAHundredMiB) {
  TGameLauncher launcher(Services());
  const auto required = [&](int32_t disk_size) {
    launcher.SetGameInfo(kGameId, false, disk_size, "", PluginFolder_.Path());
    return launcher.RequiredSpaceMB();
  };
  EXPECT_EQ(required(10), 100);
  EXPECT_EQ(required(-5), 100);
  EXPECT_EQ(required(51), 102);
  EXPECT_EQ(required(300), 600);
  // A double that does not fit 32 bits asks for more than any disk has.
  EXPECT_EQ(required(1 << 30), INT32_MAX);
}

TEST_F(LauncherTest, LaunchOutsideReadyDoesNothing) {
  auto launcher = NewLauncher();
  const TWindowHandle host = Windows_.CreatePlainWindow(0, 0, 0, 10, 10);
  launcher->Launch(host);
  EXPECT_EQ(launcher->State(), lsIdle);
  launcher->Start();
  launcher->Launch(host);
  EXPECT_EQ(launcher->State(), lsDownloading);
  EXPECT_TRUE(Started_.empty());
}

TEST_F(LauncherTest, ARecordIsWrittenWithTheFolderWhenTheGameGoesUnderAnInstallRoot) {
  TNativeTempFolder root;
  Roots_ = {root.Path()};
  // Room under the root only.
  auto launcher = std::make_unique<TGameLauncher>([&] {
    TLaunchServices services = Services();
    services.FreeSpace = [&](const std::string& folder) {
      return std::optional<uint64_t>(folder == root.Path() ? uint64_t{1} << 40 : 0);
    };
    return services;
  }());
  launcher->SetGameInfo(kGameId, false, 10, "", PluginFolder_.Path());
  launcher->SetDownloader(&TFakeDownloader::Create, "", "", 1, 1);
  launcher->Start();
  const std::string folder = root / "tamblewick/samplegame/";
  EXPECT_EQ(launcher->InstallPath(), folder);
  WriteGame(folder);
  FakeOf(*launcher).Finish();
  launcher->Tick();
  EXPECT_EQ(launcher->State(), lsUpdatePending);
  EXPECT_EQ(TGameRegister(PluginFolder_.Path()).GetPath(kGameId), folder);
  EXPECT_EQ(FileContent(RegisterFile()).find("default path"), std::string::npos);
}

TEST_F(LauncherTest, SpellingsOfOneIdentifierShareTheirNamedObjects) {
  auto first = NewLauncher("SampleGame");
  first->Start();
  ASSERT_EQ(first->State(), lsDownloading);
  // Another instance, as another thread of the browser would run it.
  std::unique_ptr<TGameLauncher> second;
  std::thread([&] {
    second = NewLauncher("samplegame");
    second->Start();
  }).join();
  EXPECT_EQ(second->State(), lsFailed);
  EXPECT_EQ(second->ErrorCode(), leGameBusy);
  std::thread([&] { second.reset(); }).join();
}

}  // namespace
}  // namespace qel::test
