#include <gtest/gtest.h>

#include <chrono>

#include "ForeignClient.h"
#include "SampleGameRun.h"
#include "platform/NativeWindows.h"

namespace qel::test {
namespace {

constexpr int kPatienceMs = 10000;

class CloseTest : public ::testing::Test {
 protected:
  TWindowSystem& Windows = DefaultWindowSystem();
};

TEST_F(CloseTest, AClientThatHonoursTheRequestIsGoneAndSaysSo) {
  TSampleGameRun game("Closing", "QelSampleWnd", "");
  const TWindowHandle window = game.AwaitWindow(Windows, kPatienceMs);
  ASSERT_NE(window, 0u);

  EXPECT_TRUE(Windows.CloseWindow(window, kPatienceMs));
  EXPECT_FALSE(Windows.IsWindow(window));
  EXPECT_EQ(game.WaitForExit(kPatienceMs), 0);
  EXPECT_EQ(FileContent(game.Folder() / "closed.txt"), "closed\n");
}

TEST_F(CloseTest, AnEmbeddedGameWindowStillGetsTheRequest) {
  const TWindowHandle host = Windows.CreatePlainWindow(0, 0, 0, 320, 240);
  TSampleGameRun game("Embedded", "QelSampleWnd", "");
  const TWindowHandle window = game.AwaitWindow(Windows, kPatienceMs);
  ASSERT_NE(window, 0u);
  ASSERT_TRUE(Windows.SetParent(window, host));

  EXPECT_TRUE(Windows.CloseWindow(window, kPatienceMs));
  EXPECT_EQ(game.WaitForExit(kPatienceMs), 0);
  EXPECT_EQ(FileContent(game.Folder() / "closed.txt"), "closed\n");
  Windows.DestroyWindow(host);
}

TEST_F(CloseTest, AClientThatIgnoresTheRequestKeepsItsWindowPastTheTimeout) {
  TForeignClient deaf;
  const TWindowHandle window = deaf.MakeWindow(0, {.WmName = "deaf"});

  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(Windows.CloseWindow(window, 200));
  // It waited for the window rather than giving up at once.
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(200));
  EXPECT_TRUE(Windows.IsWindow(window));

  // What reached the window's client is the close button's request.
  const std::optional<TClientMessage> message = deaf.NextClientMessage(kPatienceMs);
  ASSERT_TRUE(message.has_value());
  EXPECT_EQ(message->Type, "WM_PROTOCOLS");
  EXPECT_EQ(message->FirstAtom, "WM_DELETE_WINDOW");
}

TEST_F(CloseTest, AWindowThatIsAlreadyGoneCountsAsClosed) {
  const TWindowHandle window = Windows.CreatePlainWindow(0, 0, 0, 10, 10);
  Windows.DestroyWindow(window);
  EXPECT_TRUE(Windows.CloseWindow(window, 0));
}

}  // namespace
}  // namespace qel::test
