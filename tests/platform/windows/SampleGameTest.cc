// The sample game's X11 parts, which the launcher's tests stand on: the game
// client started as a process and the init module loaded into this one.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "SampleGameRun.h"
#include "launch/GameModules.h"
#include "platform/Loop.h"
#include "platform/Module.h"
#include "platform/NativeWindows.h"

namespace qel::test {
namespace {

constexpr int kPatienceMs = 10000;

bool AwaitFile(const std::string& path) {
  return RunLoopUntil([&] { return FileContent(path) != "<missing>"; }, kPatienceMs);
}

TEST(SampleGameClientTest, RecordsItsParameterStringAndOpensItsWindow) {
  TWindowSystem& windows = DefaultWindowSystem();
  const std::string parameters = "SrcID=7;Account=a b;Passwd=x\"y;GSID=-3;webinfo=1;2;";
  TSampleGameRun game("Title With Spaces", "QelSampleWnd", parameters);
  const TWindowHandle window = game.AwaitWindow(windows, kPatienceMs);
  ASSERT_NE(window, 0u);
  EXPECT_EQ(FileContent(game.Folder() / "received-params.txt"), "argc=2\n" + parameters);
  EXPECT_EQ(windows.WindowTitle(window), "Title With Spaces");
  EXPECT_EQ(windows.WindowClassName(window), "QelSampleWnd");

  // A window destroyed from outside (with the host it was put in) ends it.
  windows.DestroyWindow(window);
  EXPECT_EQ(game.WaitForExit(kPatienceMs), 0);
  EXPECT_EQ(FileContent(game.Folder() / "closed.txt"), "<missing>");
}

TEST(SampleGameClientTest, WithoutParametersItGetsNoArgument) {
  TSampleGameRun game("Bare", "QelSampleWnd", "");
  ASSERT_TRUE(AwaitFile(game.Folder() / "received-params.txt"));
  EXPECT_EQ(FileContent(game.Folder() / "received-params.txt"), "argc=1\n");
}

TEST(SampleGameClientTest, OpensItsWindowOnlyAfterTheAskedDelay) {
  TWindowSystem& windows = DefaultWindowSystem();
  TSampleGameRun game("Late", "QelSampleWnd", "webinfo=delayms:1500;");
  ASSERT_TRUE(AwaitFile(game.Folder() / "received-params.txt"));
  EXPECT_EQ(TopLevelWindowOf(windows, game.Pid()), 0u);
  EXPECT_NE(game.AwaitWindow(windows, kPatienceMs), 0u);
}

TEST(SampleGameClientTest, AWindowlessGameNeverShowsAWindow) {
  TWindowSystem& windows = DefaultWindowSystem();
  TSampleGameRun game("Invisible", "QelSampleWnd", "webinfo=nowindow;");
  ASSERT_TRUE(AwaitFile(game.Folder() / "received-params.txt"));
  EXPECT_EQ(game.AwaitWindow(windows, 500), 0u);
  EXPECT_FALSE(game.WaitForExit(0).has_value());
}

class SampleInitModuleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Module = DefaultModuleLoader().Load(QEL_SAMPLE_INIT_MODULE);
    ASSERT_NE(Module, nullptr);
    InitGame = reinterpret_cast<TInitGameProc>(Module->Entry(kInitGameEntry));
    ASSERT_NE(InitGame, nullptr);
    Host = Windows.CreatePlainWindow(0, 0, 0, 320, 240);
    ASSERT_NE(Host, 0u);
  }
  void TearDown() override {
    Module.reset();
    Windows.DestroyWindow(Host);
  }

  static TInitGameIn Input(TWindowHandle parent, int32_t width, int32_t height, const char* run_info = "") {
    TInitGameIn in{};
    in.Size = sizeof in;
    in.Version = 2;
    in.ParentWindow = static_cast<uint32_t>(parent);
    in.ParentWidth = width;
    in.ParentHeight = height;
    std::strncpy(in.RunInfo, run_info, sizeof in.RunInfo - 1);
    return in;
  }
  static TInitGameOut Output() {
    TInitGameOut out{};
    out.Size = sizeof out;
    out.Version = 1;
    return out;
  }

  TWindowSystem& Windows = DefaultWindowSystem();
  std::unique_ptr<TModule> Module;
  TInitGameProc InitGame = nullptr;
  TWindowHandle Host = 0;
};

TEST_F(SampleInitModuleTest, OpensTheGameInsideTheParentAndClosesOnRequest) {
  TInitGameIn in = Input(Host, 320, 240);
  TInitGameOut out = Output();
  ASSERT_EQ(InitGame(&in, &out), 0);
  const TWindowHandle game = out.GameWindow;
  ASSERT_NE(game, 0u);
  EXPECT_EQ(Windows.GetParent(game), Host);
  EXPECT_EQ(Windows.ClientSize(game).Width, 320);
  EXPECT_EQ(Windows.ClientSize(game).Height, 240);

  EXPECT_TRUE(Windows.CloseWindow(game, kPatienceMs));
}

TEST_F(SampleInitModuleTest, AnEmptyParentAreaStillGivesAWindow) {
  TInitGameIn in = Input(Host, 0, -1);
  TInitGameOut out = Output();
  ASSERT_EQ(InitGame(&in, &out), 0);
  EXPECT_EQ(Windows.ClientSize(out.GameWindow).Width, 1);
  EXPECT_EQ(Windows.ClientSize(out.GameWindow).Height, 1);
}

TEST_F(SampleInitModuleTest, RefusesWhenAskedAndFailsWithoutAParent) {
  TInitGameIn refused = Input(Host, 10, 10, "mode=initfail;");
  TInitGameOut out = Output();
  EXPECT_EQ(InitGame(&refused, &out), 7);
  EXPECT_EQ(out.GameWindow, 0u);

  const TWindowHandle gone = Windows.CreatePlainWindow(0, 0, 0, 10, 10);
  Windows.DestroyWindow(gone);
  TInitGameIn orphan = Input(gone, 10, 10);
  EXPECT_EQ(InitGame(&orphan, &out), 9);
  EXPECT_EQ(out.GameWindow, 0u);
}

TEST_F(SampleInitModuleTest, UnloadingTheModuleTakesItsWindowsAlong) {
  TInitGameIn in = Input(Host, 100, 100);
  TInitGameOut first = Output();
  TInitGameOut second = Output();
  ASSERT_EQ(InitGame(&in, &first), 0);
  ASSERT_EQ(InitGame(&in, &second), 0);
  ASSERT_TRUE(Windows.CloseWindow(first.GameWindow, kPatienceMs));

  // Joins every window thread, the ended one and the one still serving;
  // a thread left running in unloaded code would crash this process.
  Module.reset();
  EXPECT_TRUE(RunLoopUntil([&] { return !Windows.IsWindow(second.GameWindow); }, kPatienceMs));
  EXPECT_TRUE(Windows.IsWindow(Host));
}

}  // namespace
}  // namespace qel::test
