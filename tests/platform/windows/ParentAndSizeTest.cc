#include <gtest/gtest.h>

#include "ForeignClient.h"
#include "platform/NativeWindows.h"

namespace qel::test {
namespace {

bool IsTopLevel(TWindowSystem& windows, TWindowHandle wanted) {
  bool found = false;
  windows.EnumTopLevelWindows([&](TWindowHandle window) {
    found = window == wanted;
    return !found;
  });
  return found;
}

class ParentAndSizeTest : public ::testing::Test {
 protected:
  TWindowSystem& Windows = DefaultWindowSystem();
  TForeignClient Foreign;
};

TEST_F(ParentAndSizeTest, MadeWindowsHaveTheirSizeParentAndAreShown) {
  const TWindowHandle top = Windows.CreatePlainWindow(0, 10, 20, 123, 45);
  ASSERT_NE(top, 0u);
  const TWindowHandle child = Windows.CreatePlainWindow(top, 1, 2, 30, 40);
  ASSERT_NE(child, 0u);

  EXPECT_TRUE(Windows.IsWindow(top));
  EXPECT_EQ(Windows.ClientSize(top).Width, 123);
  EXPECT_EQ(Windows.ClientSize(top).Height, 45);
  EXPECT_EQ(Windows.GetParent(top), 0u);
  EXPECT_TRUE(IsTopLevel(Windows, top));
  EXPECT_EQ(Windows.GetParent(child), top);
  EXPECT_FALSE(IsTopLevel(Windows, child));
  EXPECT_TRUE(Foreign.IsMapped(top));
  EXPECT_TRUE(Foreign.IsMapped(child));

  Windows.DestroyWindow(top);
  EXPECT_FALSE(Windows.IsWindow(top));
  EXPECT_FALSE(Windows.IsWindow(child));
}

TEST_F(ParentAndSizeTest, MoveShowAndHideChangeTheWindow) {
  const TWindowHandle window = Foreign.MakeWindow(0, {}, 50, 60);
  EXPECT_TRUE(Windows.MoveWindow(window, 5, 6, 200, 100));
  EXPECT_EQ(Windows.ClientSize(window).Width, 200);
  EXPECT_EQ(Windows.ClientSize(window).Height, 100);
  // X has no empty windows.
  EXPECT_TRUE(Windows.MoveWindow(window, 0, 0, 0, -5));
  EXPECT_EQ(Windows.ClientSize(window).Width, 1);
  EXPECT_EQ(Windows.ClientSize(window).Height, 1);

  Windows.ShowWindow(window, false);
  EXPECT_FALSE(Foreign.IsMapped(window));
  Windows.ShowWindow(window, true);
  EXPECT_TRUE(Foreign.IsMapped(window));
}

TEST_F(ParentAndSizeTest, SetParentPullsAnotherProgramsWindowInAndOutAgain) {
  const TWindowHandle host = Windows.CreatePlainWindow(0, 0, 0, 320, 240);
  ASSERT_NE(host, 0u);
  const TWindowHandle game = Foreign.MakeWindow(0, {.WmName = "game"}, 640, 480);
  ASSERT_TRUE(IsTopLevel(Windows, game));

  EXPECT_TRUE(Windows.SetParent(game, host));
  EXPECT_EQ(Windows.GetParent(game), host);
  EXPECT_FALSE(IsTopLevel(Windows, game));
  EXPECT_TRUE(IsTopLevel(Windows, host));
  EXPECT_TRUE(Foreign.IsMapped(game));
  EXPECT_TRUE(Windows.MoveWindow(game, 0, 0, 320, 240));
  EXPECT_EQ(Windows.ClientSize(game).Width, 320);

  EXPECT_TRUE(Windows.SetParent(game, 0));
  EXPECT_EQ(Windows.GetParent(game), 0u);
  EXPECT_TRUE(IsTopLevel(Windows, game));
  Windows.DestroyWindow(host);
  EXPECT_TRUE(Windows.IsWindow(game));
}

TEST_F(ParentAndSizeTest, SetParentFailsWhereTheServerRefuses) {
  const TWindowHandle host = Windows.CreatePlainWindow(0, 0, 0, 100, 100);
  const TWindowHandle inner = Windows.CreatePlainWindow(host, 0, 0, 10, 10);
  const TWindowHandle gone = Windows.CreatePlainWindow(0, 0, 0, 10, 10);
  Windows.DestroyWindow(gone);

  EXPECT_FALSE(Windows.SetParent(host, inner));  // into its own child
  EXPECT_FALSE(Windows.SetParent(host, gone));
  EXPECT_FALSE(Windows.SetParent(gone, host));
  EXPECT_EQ(Windows.GetParent(host), 0u);
  EXPECT_EQ(Windows.GetParent(inner), host);
  Windows.DestroyWindow(host);
}

}  // namespace
}  // namespace qel::test
