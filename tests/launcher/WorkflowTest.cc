// The instance driving the launch workflow through its timer: when the
// workflow is made, what reaches it from the page, the actions, manage mode,
// and the order in which an instance with a running game goes.
#include <filesystem>
#include <fstream>

#include "GameFiles.h"
#include "LauncherFixture.h"
#include "PictureEncoding.h"
#include "launch/GameRegister.h"
#include "net/DataVersionRecord.h"
#include "platform/CopyData.h"
#include "platform/Loop.h"

namespace qel::test {
namespace {

using InstanceWorkflow = LauncherTest;

TEST_F(InstanceWorkflow, TheTimerMakesTheWorkflowOnlyOnceThereIsAWindow) {
  Embed({{"gameguid", kGameId}, {"initdata", "http://127.0.0.1:9/i.pak"}, {"initver", "3"}});
  EXPECT_TRUE(Plugin().Form().Timer1.Enabled());
  EXPECT_EQ(Plugin().Form().Timer1.Interval(), 50u);
  RunLoopFor(150);
  EXPECT_EQ(Plugin().Launcher(), nullptr);
  EXPECT_EQ(Read("nowprogress"), "0");
  EXPECT_EQ(Read("installpath"), "");

  GiveWindow();
  ASSERT_TRUE(RunLoopUntil([&] { return Plugin().Launcher() != nullptr; }, 2000));
  // Made, given the page's values and started in that one tick.
  EXPECT_EQ(Plugin().Launcher()->State(), lsDownloading);
  EXPECT_EQ(Downloader().Starts, 1);
  EXPECT_EQ(Read("installpath"), PluginFolder_ / (std::string(kGameId) + "/"));
  // Every later tick steps it.
  Downloader().Break();
  Tick();
  EXPECT_EQ(Read("errcode"), "3");
  EXPECT_EQ(Read("nowprogress"), "-3");
  EXPECT_EQ(Read("showkind"), "-3");
  EXPECT_TRUE(Plugin().Form().Timer1.Enabled());  // outside manage mode it never stops
}

// Every property keeps its own value, and each reaches the workflow where it
// is consumed: the game's information, the downloader, the game's start.
TEST_F(InstanceWorkflow, EveryPropertyLandsInItsOwnFieldAndReachesTheWorkflow) {
  Embed();
  const std::vector<std::pair<std::string, std::string>> texts = {
      {"gameguid", "iso-game"},           {"initdata", "http://127.0.0.1:9/i.pak"},
      {"updatedata", "http://127.0.0.1:9/u.pak"}, {"logid", "player"},
      {"logcode", "secret"},              {"bgpic", "http://127.0.0.1:9/bg.jpg"},
      {"barpng", "http://127.0.0.1:9/bar.png"},   {"steppng", "http://127.0.0.1:9/step.png"},
      {"ftpinfo", "steps=2"},             {"runinfo", "run-info"}};
  const std::vector<std::pair<std::string, int32_t>> numbers = {
      {"gamever", 11}, {"initver", 12}, {"updatever", 13}, {"disksize", 140}, {"srcid", 15}, {"dbid", 16},
      {"gsid", 17},    {"bar_x", 18},   {"bar_y", 19},     {"step_x", 20},    {"step_y", 21}};
  for (const auto& [name, value] : texts) EXPECT_TRUE(WriteText(name, value)) << name;
  for (const auto& [name, value] : numbers) EXPECT_TRUE(Write(name, FakeBrowser::IntVariant(value))) << name;
  for (const auto& [name, value] : texts) EXPECT_EQ(Read(name), value) << name;
  for (const auto& [name, value] : numbers) EXPECT_EQ(Read(name), std::to_string(value)) << name;

  GiveWindow();
  Tick();
  TGameLauncher& launcher = *Plugin().Launcher();
  EXPECT_EQ(launcher.InstallPath(), PluginFolder_ / "iso-game/");
  EXPECT_EQ(launcher.RequiredSpaceMB(), 280);
  EXPECT_EQ(Downloader().InitUrl, "http://127.0.0.1:9/i.pak");
  EXPECT_EQ(Downloader().UpdateUrl, "http://127.0.0.1:9/u.pak");
  EXPECT_EQ(Downloader().InitTargetVersion, 12);
  EXPECT_EQ(Downloader().UpdateTargetVersion, 13);

  TGameConfig config;
  config.GameGuid = "iso-game";
  WriteGame(launcher.InstallPath(), config);
  Downloader().Finish();
  ASSERT_TRUE(TickUntilState(lsReady));
  // ftpinfo went to the update module, which ran its two steps.
  std::ifstream ended(launcher.InstallPath() + "update-worker-ended.txt");
  EXPECT_TRUE(ended.good());
  EXPECT_TRUE(Write("startapp", FakeBrowser::BoolVariant(true)));
  ASSERT_EQ(started.size(), 1u);
  EXPECT_EQ(started[0].Parameters, "SrcID=15;Account=player;Passwd=secret;DBID=16;GSID=17;webinfo=run-info;");
}

TEST_F(InstanceWorkflow, StartappBeforeReadyDoesNothingAndWorksWhenWrittenAgain) {
  Embed({{"gameguid", kGameId}, {"initver", "3"}});
  EXPECT_TRUE(Write("startapp", FakeBrowser::BoolVariant(true)));  // no workflow yet
  GiveWindow();
  Tick();
  EXPECT_TRUE(Write("startapp", FakeBrowser::BoolVariant(true)));  // still downloading
  EXPECT_EQ(Read("startapp"), "false");
  EXPECT_TRUE(started.empty());

  WriteGame(Plugin().Launcher()->InstallPath());
  Downloader().Finish();
  ASSERT_TRUE(TickUntilState(lsReady));
  EXPECT_EQ(Read("nowprogress"), "100");
  EXPECT_EQ(Read("showkind"), "0");
  const TWindowHandle game = StartAndRun();
  EXPECT_EQ(Read("startapp"), "true");
  EXPECT_EQ(Read("showkind"), "1");
  ASSERT_EQ(started.size(), 1u);

  // The game lives in the form's window, which fills the instance's window.
  TfrmPlugin& form = Plugin().Form();
  ASSERT_NE(form.Handle(), 0u);
  EXPECT_EQ(windows.GetParent(game), form.Handle());
  EXPECT_EQ(windows.GetParent(form.Handle()), Plugin().WindowHandle());
  EXPECT_EQ(windows.Windows[form.Handle()].Width, 640);
  EXPECT_TRUE(windows.Windows[form.Handle()].Visible);
  ASSERT_NE(Plugin().MsgReceiver(), nullptr);
  EXPECT_EQ(Plugin().MsgReceiver()->GameWindow(), game);
  EXPECT_EQ(form.MsgReceiver(), Plugin().MsgReceiver());
  EXPECT_TRUE(Plugin().GameRunning());

  EXPECT_TRUE(Write("startapp", FakeBrowser::BoolVariant(true)));
  EXPECT_EQ(started.size(), 1u);
}

// The pictures reach the display as the workflow hands them over, placed
// where the page said when each arrived; the display follows the progress
// on every tick and goes when the game runs.
TEST_F(InstanceWorkflow, TheDisplayShowsThePagesPicturesAndProgressUntilTheGameRuns) {
  Embed({{"gameguid", kGameId}, {"initver", "3"}, {"bgpic", "http://127.0.0.1:9/bg.jpg"},
         {"barpng", "http://127.0.0.1:9/bar.png"}, {"steppng", "http://127.0.0.1:9/step.png"},
         {"bar_x", "10"}, {"bar_y", "40"}});
  GiveWindow();
  Tick();
  TfrmPlugin& form = Plugin().Form();
  EXPECT_EQ(form.Mode(), pmImages);
  EXPECT_TRUE(form.Visible());
  EXPECT_EQ(form.imgBG.Bounds, TRect::OfSize(0, 0, 1024, 768));

  const auto stream = [](const std::vector<uint8_t>& bytes) {
    auto data = std::make_unique<TMemoryStream>();
    data->Write(bytes.data(), static_cast<int32_t>(bytes.size()));
    return data;
  };
  TPngPicture bar{40, 4, TPngColors::Rgb, 8, std::vector<uint8_t>(40 * 4 * 3, 90)};
  TGameLauncher& launcher = *Plugin().Launcher();
  launcher.OnBarLoaded(launcher, *stream(EncodePng(bar)));
  EXPECT_TRUE(Write("bar_x", FakeBrowser::IntVariant(300)));  // too late for the bar
  launcher.OnStepLoaded(launcher, *stream(EncodePng(bar)));
  launcher.OnBackgroundLoaded(launcher, *stream(EncodeJpeg({8, 8, TJpegColors::Grey, std::vector<uint8_t>(8, 60)})));
  ASSERT_TRUE(form.Composed());
  EXPECT_EQ(form.LabelBounds().Left + form.LabelBounds().Width() / 2, 10 + 40 / 2);

  WriteGame(launcher.InstallPath());
  Downloader().Finish();
  ASSERT_TRUE(TickUntilState(lsReady));
  Tick();
  EXPECT_EQ(form.Progress(), 100);
  EXPECT_EQ(form.lbStep.Caption, "100%");
  StartAndRun();
  EXPECT_EQ(form.Mode(), pmHidden);
  EXPECT_FALSE(form.imgBG.Visible);
  EXPECT_FALSE(form.HoldsPictures());
}

TEST_F(InstanceWorkflow, AbortStopsTheWorkOnceAndTheFailureReadsThroughTheProperties) {
  Embed({{"gameguid", kGameId}, {"abortgame", "true"}});
  EXPECT_EQ(Read("abortgame"), "false");  // nothing to abort yet
  GiveWindow();
  Tick();
  EXPECT_TRUE(Write("abortgame", FakeBrowser::BoolVariant(true)));
  EXPECT_EQ(Read("abortgame"), "true");
  EXPECT_EQ(Downloader().Aborts, 1);
  Tick();
  EXPECT_EQ(Read("errcode"), "15");
  EXPECT_EQ(Read("nowprogress"), "-15");
  EXPECT_EQ(Read("showkind"), "-15");
  EXPECT_TRUE(Write("abortgame", FakeBrowser::BoolVariant(true)));
  EXPECT_EQ(Downloader().Aborts, 1);
}

class ManageMode : public LauncherTest {
 protected:
  std::string InstallGame() {
    const std::string folder = PluginFolder_ / (std::string(kGameId) + "/");
    WriteGame(folder);
    TGameRegister(PluginFolder_.Path()).AddRecord(kGameId, "default path");
    TDataVersionRecord versions{};
    versions.InitVersion = 3;
    versions.UpdateVersion = 2;
    PutFile(folder + "dataver.dat", std::string(reinterpret_cast<const char*>(&versions), sizeof versions));
    return folder;
  }
  TDataVersionRecord Versions(const std::string& folder) {
    TDataVersionRecord versions{};
    std::ifstream(folder + "dataver.dat", std::ios::binary).read(reinterpret_cast<char*>(&versions), sizeof versions);
    return versions;
  }
};

TEST_F(ManageMode, TheFirstTickMakesTheManagerAndStopsTheTimerForGood) {
  const std::string folder = InstallGame();
  Embed({{"gameguid", kGameId}, {"manage", "true"}, {"resetdata", "true"}});
  EXPECT_EQ(Versions(folder).InitVersion, 3);  // before the first tick: no manager
  GiveWindow();
  ASSERT_TRUE(RunLoopUntil([&] { return Plugin().Manager() != nullptr; }, 2000));
  EXPECT_FALSE(Plugin().Form().Timer1.Enabled());
  EXPECT_EQ(Plugin().Launcher(), nullptr);
  EXPECT_EQ(Read("installpath"), folder);
  EXPECT_EQ(Read("nowprogress"), "0");

  EXPECT_TRUE(Write("resetdata", FakeBrowser::BoolVariant(true)));
  EXPECT_EQ(Read("resetdata"), "false");
  EXPECT_EQ(Versions(folder).InitVersion, 0);
  EXPECT_TRUE(Write("removegame", FakeBrowser::BoolVariant(true)));
  EXPECT_FALSE(std::filesystem::exists(folder));
  EXPECT_EQ(Read("installpath"), "");
}

TEST_F(ManageMode, ResetAndRemoveActOnlyInManageMode) {
  const std::string folder = InstallGame();
  Embed({{"gameguid", kGameId}});
  GiveWindow();
  Tick();
  EXPECT_TRUE(Write("resetdata", FakeBrowser::BoolVariant(true)));
  EXPECT_TRUE(Write("removegame", FakeBrowser::BoolVariant(true)));
  EXPECT_EQ(Versions(folder).InitVersion, 3);
  EXPECT_TRUE(std::filesystem::exists(folder));
}

// Manage mode set while a workflow runs: the next tick stops everything; the
// workflow is not stepped again.
TEST_F(ManageMode, SetLaterStopsTheWorkflowBeingStepped) {
  Embed({{"gameguid", kGameId}});
  GiveWindow();
  Tick();
  EXPECT_TRUE(Write("manage", FakeBrowser::BoolVariant(true)));
  Tick();
  EXPECT_FALSE(Plugin().Form().Timer1.Enabled());
  Downloader().Break();
  Tick();
  EXPECT_EQ(Plugin().Launcher()->State(), lsDownloading);
}

// The workflow goes first (and closes the game while the form, its host,
// still stands and still takes messages); the form's window goes last.
TEST_F(InstanceWorkflow, DestroyingARunningInstanceClosesTheGameBeforeTheChannelAndTheForm) {
  BringToReady();
  const TWindowHandle game = StartAndRun();
  const TWindowHandle form = Plugin().Form().Handle();
  bool form_alive_at_close = false;
  bool channel_alive_at_close = false;
  windows.OnCloseRequest = [&](TWindowHandle window) {
    if (window != game) return;
    form_alive_at_close = windows.IsWindow(form);
    channel_alive_at_close = SendCopyData(form, game, kMagicRequest, {}, 100);
  };
  instance->Destroy();
  EXPECT_EQ(windows.CloseRequests, std::vector<TWindowHandle>{game});
  EXPECT_TRUE(form_alive_at_close);
  EXPECT_TRUE(channel_alive_at_close);
  EXPECT_FALSE(windows.IsWindow(form));
  EXPECT_FALSE(SendCopyData(form, game, kMagicRequest, {}, 100));
}

}  // namespace
}  // namespace qel::test
