// Instances of one game in separate processes: who may download, who may
// run, and what a crashed instance leaves behind.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "FaultServer.h"
#include "ObjectFolderFixture.h"
#include "SampleGamePacks.h"
#include "launch/GameLauncher.h"
#include "launch/GameManager.h"
#include "net/HttpDownloader.h"
#include "platform/Loop.h"
#include "platform/NativeWindows.h"

namespace qel::test {
namespace {

constexpr int kPatienceMs = 60000;

std::string StateLine(TLaunchState state, int error, int units) {
  return "state " + std::to_string(int(state)) + " error " + std::to_string(error) + " units " +
         std::to_string(units);
}

class LauncherProcessTest : public ObjectFolderFixture {
 protected:
  void SetUp() override {
    if (!Nginx_.Running()) GTEST_SKIP() << Nginx_.Failure();
    Packs_ = std::make_unique<TSampleGamePacks>(Nginx_, 2);
    ASSERT_EQ(Packs_->Failure(), "");
  }

  std::unique_ptr<TChildProcess> Helper(bool multi_run, const std::string& init_url) {
    return std::make_unique<TChildProcess>(
        QEL_LAUNCHER_HELPER, std::vector<std::string>{Objects_.Path(), PluginFolder_.Path(), kGameId,
                                                      multi_run ? "1" : "0", init_url, Packs_->UpdateUrl()});
  }

  std::unique_ptr<TGameLauncher> Local(bool multi_run, const std::string& init_url) {
    auto launcher = std::make_unique<TGameLauncher>();
    launcher->SetGameInfo(kGameId, multi_run, 1, "", PluginFolder_.Path());
    launcher->SetDownloader(&THttpDownloader::Create, init_url, Packs_->UpdateUrl(), 1, 2);
    return launcher;
  }

  bool TickUntil(TGameLauncher& launcher, TLaunchState state) {
    return RunLoopUntil(
        [&] {
          launcher.Tick();
          return launcher.State() == state || launcher.State() == lsFailed;
        },
        kPatienceMs);
  }

  static std::string Until(TChildProcess& helper, TLaunchState state) {
    return helper.Ask("until " + std::to_string(int(state)) + " " + std::to_string(kPatienceMs), kPatienceMs + 5000);
  }

  // A download that stops after its first kilobyte until the test resumes it.
  std::string StalledUrl() {
    Faults_ = std::make_unique<TFaultServer>();
    TFaultScript script;
    script.Body = FileContent(Nginx_.Root() + "init.pack");
    script.PauseAfter = 1000;
    Faults_->SetScript(script);
    return Faults_->Url("init.pack");
  }

  TNginxServer Nginx_;
  std::unique_ptr<TSampleGamePacks> Packs_;
  std::unique_ptr<TFaultServer> Faults_;
};

TEST_F(LauncherProcessTest, ASecondInstanceIsBusyWhileAnotherProcessDownloads) {
  auto downloading = Helper(false, StalledUrl());
  EXPECT_EQ(downloading->Ask("start"), StateLine(lsDownloading, 0, 8));
  ASSERT_TRUE(RunLoopUntil([&] { return Faults_->Paused(); }, kPatienceMs));

  auto second = Local(true, Packs_->InitUrl());
  second->Start();
  EXPECT_EQ(second->State(), lsFailed);
  EXPECT_EQ(second->ErrorCode(), leGameBusy);
  Faults_->Resume();
}

TEST_F(LauncherProcessTest, EightMultiRunInstancesRunSideBySideAndANinthIsBusy) {
  std::vector<std::unique_ptr<TChildProcess>> instances;
  instances.push_back(Helper(true, Packs_->InitUrl()));
  EXPECT_EQ(instances[0]->Ask("start"), StateLine(lsDownloading, 0, 8));
  // After the download the instance keeps one unit.
  EXPECT_EQ(Until(*instances[0], lsReady), StateLine(lsReady, 0, 1));
  for (int i = 1; i < 8; ++i) {
    instances.push_back(Helper(true, Packs_->InitUrl()));
    EXPECT_EQ(instances[i]->Ask("start"), StateLine(lsUpdatePending, 0, 1)) << "instance " << i;
    EXPECT_EQ(Until(*instances[i], lsReady), StateLine(lsReady, 0, 1)) << "instance " << i;
  }
  auto ninth = Local(true, Packs_->InitUrl());
  ninth->Start();
  EXPECT_EQ(ninth->ErrorCode(), leGameBusy);

  // With one of them gone, an instance that runs alone is still busy.
  instances.back()->Ask("quit");
  instances.pop_back();
  auto alone = Local(false, Packs_->InitUrl());
  alone->Start();
  EXPECT_EQ(alone->ErrorCode(), leGameBusy);
}

TEST_F(LauncherProcessTest, AGameInUseElsewhereIsNeitherRemovedNorReset) {
  auto running = Helper(true, Packs_->InitUrl());
  running->Ask("start");
  ASSERT_EQ(Until(*running, lsReady), StateLine(lsReady, 0, 1));
  const std::string folder = PluginFolder_ / (std::string(kGameId) + "/");
  const std::string versions = FileContent(folder + "dataver.dat");

  TGameManager manager(PluginFolder_.Path());
  manager.RemoveGame(kGameId);
  manager.ResetData(kGameId);
  EXPECT_TRUE(std::filesystem::exists(folder + "config.ini"));
  EXPECT_EQ(manager.GetInstallPath(kGameId), folder);
  EXPECT_EQ(FileContent(folder + "dataver.dat"), versions);

  // Once the instance is gone, the game can be removed.
  running->Ask("quit");
  ASSERT_TRUE(running->WaitForExit(kPatienceMs).has_value());
  manager.RemoveGame(kGameId);
  EXPECT_FALSE(std::filesystem::exists(folder));
  EXPECT_EQ(manager.GetInstallPath(kGameId), "");
}

TEST_F(LauncherProcessTest, AnInstanceKilledWhileDownloadingLeavesNothingHeld) {
  auto crashed = Helper(false, StalledUrl());
  EXPECT_EQ(crashed->Ask("start"), StateLine(lsDownloading, 0, 8));
  ASSERT_TRUE(RunLoopUntil([&] { return Faults_->Paused(); }, kPatienceMs));
  crashed->Kill();
  Faults_->Resume();

  auto next = Local(false, Packs_->InitUrl());
  next->Start();
  ASSERT_EQ(next->State(), lsDownloading);
  ASSERT_TRUE(TickUntil(*next, lsReady));
  ASSERT_EQ(next->State(), lsReady) << "error " << int(next->ErrorCode());
  TWindowSystem& windows = DefaultWindowSystem();
  const TWindowHandle host = windows.CreatePlainWindow(0, 0, 0, 320, 240);
  if (host == 0) GTEST_SKIP() << "no X display";
  next->Launch(host);
  ASSERT_TRUE(TickUntil(*next, lsRunning));
  EXPECT_EQ(next->State(), lsRunning);
  EXPECT_EQ(windows.GetParent(next->GameWindow()), host);
  next.reset();
  windows.DestroyWindow(host);
}

}  // namespace
}  // namespace qel::test
