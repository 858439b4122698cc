#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "TestWindows.h"
#include "platform/NativeWindows.h"

namespace qel::test {
namespace {

TWindowHandle H(HWND window) { return reinterpret_cast<TWindowHandle>(window); }

// The window's top left in its parent's client coordinates.
POINT PlaceInParent(HWND window) {
  RECT bounds{};
  GetWindowRect(window, &bounds);
  POINT corner{bounds.left, bounds.top};
  MapWindowPoints(HWND_DESKTOP, GetAncestor(window, GA_PARENT), &corner, 1);
  return corner;
}

class NativeWindowsTest : public ::testing::Test {
 protected:
  TWindowSystem& windows = DefaultWindowSystem();
};

// Top-level and child windows need a display (Wine without one makes only
// message-only windows): run under xvfb-run.
class TopLevelWindowsTest : public NativeWindowsTest {
 protected:
  void SetUp() override {
    if (!HaveDisplay()) GTEST_SKIP() << "no display to make windows on (run under xvfb-run)";
  }
};

TEST_F(TopLevelWindowsTest, PlainWindowsAreMadeAsAskedAndAnswerForThemselves) {
  const TWindowHandle top = windows.CreatePlainWindow(0, 30, 40, 320, 200);
  ASSERT_NE(top, 0u);
  const TWindowHandle child = windows.CreatePlainWindow(top, 5, 6, 50, 60);
  ASSERT_NE(child, 0u);

  EXPECT_TRUE(windows.IsWindow(top));
  EXPECT_EQ(windows.ClientSize(top).Width, 320);
  EXPECT_EQ(windows.ClientSize(top).Height, 200);
  EXPECT_EQ(windows.ClientSize(child).Width, 50);
  EXPECT_EQ(windows.GetParent(top), 0u);
  EXPECT_EQ(windows.GetParent(child), top);
  EXPECT_TRUE(IsWindowVisible(reinterpret_cast<HWND>(child)));
  EXPECT_EQ(windows.WindowProcessId(top), GetCurrentProcessId());
  EXPECT_FALSE(windows.WindowClassName(top).empty());
  SetWindowTextA(reinterpret_cast<HWND>(top), "Plain and simple");
  EXPECT_EQ(windows.WindowTitle(top), "Plain and simple");

  // Parent of the plug-in's windows; the child is destroyed with it.
  windows.DestroyWindow(top);
  EXPECT_FALSE(windows.IsWindow(top));
  EXPECT_FALSE(windows.IsWindow(child));
  EXPECT_EQ(windows.ClientSize(top).Width, 0);
  EXPECT_EQ(windows.WindowTitle(top), "");
  EXPECT_EQ(windows.WindowProcessId(top), 0u);
  EXPECT_EQ(windows.GetParent(top), 0u);
  EXPECT_EQ(windows.CreatePlainWindow(top, 0, 0, 10, 10), 0u);  // no parent to be in
  EXPECT_FALSE(windows.IsWindow(0));
}

TEST_F(TopLevelWindowsTest, EnumerationFindsTopLevelWindowsWithTitleClassAndProcess) {
  const TOwnedWindow first(MakeTestWindow("Game window one", WS_OVERLAPPEDWINDOW));
  const TOwnedWindow second(MakeTestWindow("Game window two", WS_POPUP));
  const TOwnedWindow inner(MakeTestWindow("Game window child", WS_CHILD, 0, first.get()));
  ASSERT_TRUE(first && second && inner);

  std::vector<TWindowHandle> ours;
  bool saw_child = false;
  windows.EnumTopLevelWindows([&](TWindowHandle window) {
    if (window == H(inner.get())) saw_child = true;
    if (windows.WindowClassName(window) == TestWindowClassName() &&
        windows.WindowProcessId(window) == GetCurrentProcessId())
      ours.push_back(window);
    return true;
  });
  EXPECT_FALSE(saw_child);
  ASSERT_EQ(ours.size(), 2u);
  std::vector<std::string> titles;
  for (TWindowHandle window : ours) titles.push_back(windows.WindowTitle(window));
  EXPECT_NE(std::find(titles.begin(), titles.end(), "Game window one"), titles.end());
  EXPECT_NE(std::find(titles.begin(), titles.end(), "Game window two"), titles.end());
}

TEST_F(TopLevelWindowsTest, EnumerationAnswersAsAtItsStartAndStopsWhenAsked) {
  const TOwnedWindow first(MakeTestWindow("Before", WS_OVERLAPPEDWINDOW));
  const TOwnedWindow second(MakeTestWindow("Before", WS_OVERLAPPEDWINDOW));
  ASSERT_TRUE(first && second);
  int visited = 0;
  windows.EnumTopLevelWindows([&](TWindowHandle window) {
    ++visited;
    if (window != H(first.get()) && window != H(second.get())) return true;
    SetWindowTextA(first.get(), "After");
    SetWindowTextA(second.get(), "After");
    EXPECT_EQ(windows.WindowTitle(window), "Before");
    return false;
  });
  EXPECT_GE(visited, 1);
  // Outside an enumeration the window answers as it is now.
  EXPECT_EQ(windows.WindowTitle(H(first.get())), "After");

  int again = 0;
  windows.EnumTopLevelWindows([&](TWindowHandle) { return ++again < 1; });
  EXPECT_EQ(again, 1);
}

TEST_F(TopLevelWindowsTest, EmbeddingStripsTheFrameAndPlacesTheWindowInTheHost) {
  const TOwnedWindow host(MakeTestWindow("Host", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN));
  const DWORD ex_style = WS_EX_APPWINDOW | WS_EX_WINDOWEDGE | WS_EX_DLGMODALFRAME | WS_EX_TOOLWINDOW;
  const TOwnedWindow game(
      MakeTestWindow("Game", WS_OVERLAPPEDWINDOW | WS_POPUP | WS_MAXIMIZE | WS_CLIPSIBLINGS, ex_style));
  ASSERT_TRUE(host && game);

  ASSERT_TRUE(windows.SetParent(H(game.get()), H(host.get())));
  EXPECT_EQ(windows.GetParent(H(game.get())), H(host.get()));
  const auto style = static_cast<DWORD>(GetWindowLongA(game.get(), GWL_STYLE));
  EXPECT_EQ(style & WS_CHILD, DWORD{WS_CHILD});
  for (DWORD gone : {WS_BORDER, WS_DLGFRAME, WS_SYSMENU, WS_THICKFRAME, WS_MAXIMIZE, WS_MINIMIZE})
    EXPECT_EQ(style & gone, 0u) << std::hex << gone;
  // The rest is the window's own business.
  EXPECT_EQ(style & (WS_POPUP | WS_CLIPSIBLINGS | WS_MINIMIZEBOX), DWORD{WS_POPUP | WS_CLIPSIBLINGS | WS_MINIMIZEBOX});
  const auto ex = static_cast<DWORD>(GetWindowLongA(game.get(), GWL_EXSTYLE));
  EXPECT_EQ(ex & (WS_EX_APPWINDOW | WS_EX_WINDOWEDGE | WS_EX_DLGMODALFRAME), 0u);
  EXPECT_EQ(ex & WS_EX_TOOLWINDOW, DWORD{WS_EX_TOOLWINDOW});
  const POINT corner = PlaceInParent(game.get());
  EXPECT_EQ(corner.x, 0);
  EXPECT_EQ(corner.y, 0);
  // Without a frame the whole window is its inside.
  ASSERT_TRUE(windows.MoveWindow(H(game.get()), 7, 9, 150, 90));
  EXPECT_EQ(windows.ClientSize(H(game.get())).Width, 150);
  EXPECT_EQ(windows.ClientSize(H(game.get())).Height, 90);
  EXPECT_EQ(PlaceInParent(game.get()).x, 7);
  EXPECT_EQ(PlaceInParent(game.get()).y, 9);

  // And out again: a top-level pop-up.
  ASSERT_TRUE(windows.SetParent(H(game.get()), 0));
  EXPECT_EQ(windows.GetParent(H(game.get())), 0u);
  EXPECT_EQ(GetWindowLongA(game.get(), GWL_STYLE) & WS_CHILD, 0);

  EXPECT_FALSE(windows.SetParent(H(game.get()), H(game.get()) + 0x10000));  // no such parent
  EXPECT_FALSE(windows.SetParent(0, H(host.get())));
}

TEST_F(TopLevelWindowsTest, MovingPlacesAndSizesTheWindow) {
  const TOwnedWindow host(MakeTestWindow("Host", WS_POPUP));
  const TWindowHandle child = windows.CreatePlainWindow(H(host.get()), 0, 0, 10, 10);
  ASSERT_NE(child, 0u);
  ASSERT_TRUE(windows.MoveWindow(child, 12, 13, 40, 30));
  EXPECT_EQ(PlaceInParent(reinterpret_cast<HWND>(child)).x, 12);
  EXPECT_EQ(windows.ClientSize(child).Height, 30);
  ASSERT_TRUE(windows.MoveWindow(child, 0, 0, -5, -1));  // negative sizes are empty windows
  EXPECT_EQ(windows.ClientSize(child).Width, 0);
  EXPECT_FALSE(windows.MoveWindow(0, 0, 0, 1, 1));
}

TEST_F(NativeWindowsTest, ClosingAWindowOfAnotherThreadWaitsUntilItIsGone) {
  TCloseBehaviour behaviour;
  TWindowThread game(&behaviour);
  EXPECT_TRUE(windows.CloseWindow(H(game.Window()), kPatienceMs));
  EXPECT_FALSE(IsWindow(game.Window()));
  EXPECT_EQ(behaviour.Requests, 1);
  EXPECT_TRUE(windows.CloseWindow(H(game.Window()), 0));  // gone already
  EXPECT_TRUE(windows.CloseWindow(0, 0));
}

TEST_F(NativeWindowsTest, ClosingKeepsTakingWhatTheClosingWindowSendsHere) {
  // The closing window waits for this thread before it goes, as a child of
  // another process's window notifies its parent.
  const TOwnedWindow here(MakeTestWindow("Host", 0, 0, HWND_MESSAGE));
  TCloseBehaviour behaviour;
  behaviour.NotifyFirst = here.get();
  TWindowThread game(&behaviour);
  EXPECT_TRUE(windows.CloseWindow(H(game.Window()), kPatienceMs));
  EXPECT_FALSE(IsWindow(game.Window()));
  PumpUntil([&] { return !IsWindow(game.Window()); });  // the game's thread must not be left waiting
}

TEST_F(NativeWindowsTest, AWindowThatRefusesToCloseIsGivenUpAfterTheTime) {
  TCloseBehaviour behaviour;
  behaviour.Refuse = true;
  TWindowThread game(&behaviour);
  const ULONGLONG start = GetTickCount64();
  EXPECT_FALSE(windows.CloseWindow(H(game.Window()), 200));
  EXPECT_GE(GetTickCount64() - start, 190u);
  EXPECT_TRUE(IsWindow(game.Window()));
  EXPECT_TRUE(PumpUntil([&] { return behaviour.Requests == 1; }));

  // This thread's own windows are asked directly.
  TCloseBehaviour own_behaviour;
  own_behaviour.Refuse = true;
  const TOwnedWindow own(MakeTestWindow("Own", 0, 0, HWND_MESSAGE, &own_behaviour));
  EXPECT_FALSE(windows.CloseWindow(H(own.get()), 50));
  EXPECT_EQ(own_behaviour.Requests, 1);
  own_behaviour.Refuse = false;
  EXPECT_TRUE(windows.CloseWindow(H(own.get()), 50));
}

TEST_F(NativeWindowsTest, TextIsMeasuredInTheLabelFont) {
  const TWindowSize empty = windows.TextExtent("", 13);
  const TWindowSize short_text = windows.TextExtent("42%", 13);
  const TWindowSize long_text = windows.TextExtent("42% 42% 42%", 13);
  const TWindowSize tall_text = windows.TextExtent("42%", 40);
  EXPECT_EQ(empty.Width, 0);
  EXPECT_GT(short_text.Width, 0);
  EXPECT_GE(short_text.Height, 13);
  EXPECT_GT(long_text.Width, short_text.Width);
  EXPECT_GT(tall_text.Height, short_text.Height);
  EXPECT_GT(windows.ScreenPixelsPerInch(), 0);
}

}  // namespace
}  // namespace qel::test
