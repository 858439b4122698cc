// From an empty plug-in folder to the sample game running inside a window
// of this process: real packs over nginx, the real downloader, the sample
// game's modules and client, and the X server the tests run under.
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "ObjectFolderFixture.h"
#include "SampleGamePacks.h"
#include "launch/GameLauncher.h"
#include "launch/GameRegister.h"
#include "net/HttpDownloader.h"
#include "platform/Loop.h"
#include "platform/NativeWindows.h"

namespace qel::test {
namespace {

constexpr int kPatienceMs = 60000;

class LaunchEndToEndTest : public ObjectFolderFixture {
 protected:
  void SetUp() override {
    if (!Nginx_.Running()) GTEST_SKIP() << Nginx_.Failure();
    if (!Windows().IsWindow(Host())) GTEST_SKIP() << "no X display";
  }
  void TearDown() override {
    if (Host_ != 0) Windows().DestroyWindow(Host_);
  }

  static TWindowSystem& Windows() { return DefaultWindowSystem(); }
  TWindowHandle Host() {
    if (Host_ == 0) Host_ = Windows().CreatePlainWindow(0, 0, 0, 640, 480);
    return Host_;
  }

  std::unique_ptr<TGameLauncher> NewLauncher(const TSampleGamePacks& packs, const std::string& update_info = "") {
    EXPECT_EQ(packs.Failure(), "");
    auto launcher = std::make_unique<TGameLauncher>();
    launcher->SetGameInfo(kGameId, false, 1, update_info, PluginFolder_.Path());
    launcher->SetDownloader(&THttpDownloader::Create, packs.InitUrl(), packs.UpdateUrl(), 1, 2);
    launcher->OnGameRunning = [this](TGameLauncher&) { ++RunningCalls_; };
    return launcher;
  }

  // Ticks on every turn of the loop until the launcher is in `state` or
  // has failed; the states it went through are kept.
  bool TickUntil(TGameLauncher& launcher, TLaunchState state) {
    return RunLoopUntil(
        [&] {
          launcher.Tick();
          if (Seen_.empty() || Seen_.back() != launcher.State()) Seen_.push_back(launcher.State());
          return launcher.State() == state || launcher.State() == lsFailed;
        },
        kPatienceMs);
  }

  // A fresh install of the packs, fetched, unpacked and updated.
  std::unique_ptr<TGameLauncher> Ready(const TSampleGamePacks& packs) {
    auto launcher = NewLauncher(packs);
    launcher->Start();
    EXPECT_TRUE(TickUntil(*launcher, lsReady));
    EXPECT_EQ(launcher->State(), lsReady) << "error " << int(launcher->ErrorCode());
    return launcher;
  }

  std::string Installed(const std::string& name) { return PluginFolder_ / (std::string(kGameId) + "/" + name); }

  TNginxServer Nginx_;
  TWindowHandle Host_ = 0;
  std::vector<TLaunchState> Seen_;
  int RunningCalls_ = 0;
};

TEST_F(LaunchEndToEndTest, AFreshInstallStartsTheGameProcessInsideTheHostWindow) {
  TSampleGamePacks packs(Nginx_, 2);
  auto launcher = Ready(packs);
  ASSERT_EQ(launcher->State(), lsReady);
  EXPECT_EQ(Seen_, (std::vector<TLaunchState>{lsDownloading, lsUpdatePending, lsUpdating, lsReady}));
  EXPECT_EQ(FileContent(Installed("patch.txt")), "the second version's patch\n");

  launcher->SetLaunchInfo("abc", "", "", 7, 0, 3);
  launcher->Launch(Host());
  ASSERT_TRUE(TickUntil(*launcher, lsRunning));
  ASSERT_EQ(launcher->State(), lsRunning) << "error " << int(launcher->ErrorCode());
  EXPECT_EQ(RunningCalls_, 1);
  const TWindowHandle game = launcher->GameWindow();
  EXPECT_EQ(Windows().GetParent(game), Host());
  EXPECT_EQ(Windows().ClientSize(game).Width, 640);
  EXPECT_EQ(Windows().ClientSize(game).Height, 480);
  EXPECT_EQ(FileContent(Installed("received-params.txt")), "argc=2\nSrcID=7;Account=abc;GSID=3;");

  // Destruction asks the game to close and waits for its window to go.
  launcher.reset();
  EXPECT_FALSE(Windows().IsWindow(game));
  EXPECT_NE(FileContent(Installed("closed.txt")), "<missing>");

  // Another visit finds the data current and goes straight to the update.
  auto again = NewLauncher(packs);
  again->Start();
  EXPECT_EQ(again->State(), lsUpdatePending);
  EXPECT_FALSE(again->NewInstall());
}

TEST_F(LaunchEndToEndTest, AnEmptyParameterStringStillStartsTheGame) {
  TSampleGamePacks packs(Nginx_, 2);
  auto launcher = Ready(packs);
  ASSERT_EQ(launcher->State(), lsReady);
  launcher->Launch(Host());
  ASSERT_TRUE(TickUntil(*launcher, lsRunning));
  EXPECT_EQ(launcher->State(), lsRunning);
  EXPECT_EQ(FileContent(Installed("received-params.txt")), "argc=1\n");
}

TEST_F(LaunchEndToEndTest, TheInitModuleMakesTheGameWindowAChildOfTheHost) {
  TSampleGamePacks packs(Nginx_, 1);
  auto launcher = Ready(packs);
  ASSERT_EQ(launcher->State(), lsReady);
  launcher->Launch(Host());
  ASSERT_EQ(launcher->State(), lsRunning) << "error " << int(launcher->ErrorCode());
  EXPECT_EQ(RunningCalls_, 1);
  const TWindowHandle game = launcher->GameWindow();
  EXPECT_EQ(Windows().GetParent(game), Host());
  EXPECT_EQ(Windows().ClientSize(game).Width, 640);
  launcher.reset();
  EXPECT_FALSE(Windows().IsWindow(game));
}

TEST_F(LaunchEndToEndTest, AnInitModuleThatRefusesFails) {
  TSampleGamePacks packs(Nginx_, 1);
  auto launcher = Ready(packs);
  ASSERT_EQ(launcher->State(), lsReady);
  launcher->SetLaunchInfo("", "", "initfail", 0, 0, 0);
  launcher->Launch(Host());
  EXPECT_EQ(launcher->State(), lsFailed);
  EXPECT_EQ(launcher->ErrorCode(), leInitFailed);
}

TEST_F(LaunchEndToEndTest, AGameProgramThatIsGoneCannotStart) {
  TSampleGamePacks packs(Nginx_, 2);
  auto launcher = Ready(packs);
  ASSERT_EQ(launcher->State(), lsReady);
  std::filesystem::remove(Installed("bin/samplegame"));
  launcher->Launch(Host());
  EXPECT_EQ(launcher->State(), lsFailed);
  EXPECT_EQ(launcher->ErrorCode(), leProcessStart);
}

TEST_F(LaunchEndToEndTest, AGameWindowWhoseHostIsGoneCannotBeEmbedded) {
  TSampleGamePacks packs(Nginx_, 2);
  auto launcher = Ready(packs);
  ASSERT_EQ(launcher->State(), lsReady);
  // The game opens its window a little later, after its host has gone.
  launcher->SetLaunchInfo("", "", "delayms:300", 0, 0, 0);
  launcher->Launch(Host());
  ASSERT_EQ(launcher->State(), lsStarting);
  Windows().DestroyWindow(Host_);
  Host_ = 0;
  ASSERT_TRUE(TickUntil(*launcher, lsRunning));
  EXPECT_EQ(launcher->State(), lsFailed);
  EXPECT_EQ(launcher->ErrorCode(), leWindowEmbed);
}

TEST_F(LaunchEndToEndTest, AGameThatNeverOpensItsWindowWaitsUntilTheAbort) {
  TSampleGamePacks packs(Nginx_, 2);
  auto launcher = Ready(packs);
  ASSERT_EQ(launcher->State(), lsReady);
  launcher->SetLaunchInfo("", "", "nowindow", 0, 0, 0);
  launcher->Launch(Host());
  // Started: it has written what it received.
  ASSERT_TRUE(RunLoopUntil(
      [&] {
        launcher->Tick();
        return std::filesystem::exists(Installed("received-params.txt"));
      },
      kPatienceMs));
  RunLoopFor(200);
  launcher->Tick();
  EXPECT_EQ(launcher->State(), lsStarting);
  launcher->AbortGame();
  EXPECT_EQ(launcher->State(), lsFailed);
  EXPECT_EQ(launcher->ErrorCode(), leAborted);
}

TEST_F(LaunchEndToEndTest, AFailedDownloadIsReportedAndTheNextVisitStartsAgain) {
  TSampleGamePacks packs(Nginx_, 2);
  const std::string update_pack = Nginx_.Root() + "update.pack";
  std::filesystem::rename(update_pack, update_pack + ".later");
  auto launcher = NewLauncher(packs);
  launcher->Start();
  ASSERT_TRUE(TickUntil(*launcher, lsReady));
  EXPECT_EQ(launcher->State(), lsFailed);
  EXPECT_EQ(launcher->ErrorCode(), leDownloadFailed);
  EXPECT_EQ(launcher->RunUnits(), 0);
  launcher.reset();

  // A new install is recorded only once complete: the next visit starts
  // from the beginning, in the same folder, and gets there.
  EXPECT_EQ(TGameRegister(PluginFolder_.Path()).GetPath(kGameId), "");
  std::filesystem::rename(update_pack + ".later", update_pack);
  auto again = NewLauncher(packs);
  again->Start();
  EXPECT_EQ(again->State(), lsDownloading);
  EXPECT_TRUE(again->NewInstall());
  EXPECT_EQ(again->Downloader()->State(), dsInitDownloading);
  ASSERT_TRUE(TickUntil(*again, lsReady));
  EXPECT_EQ(again->State(), lsReady);
}

}  // namespace
}  // namespace qel::test
