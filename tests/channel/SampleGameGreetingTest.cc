// The sample game speaks to the page through the library once its window is
// embedded: this test is the plug-in, with a host window of its own on a
// virtual X server.
#include <gtest/gtest.h>

#include <memory>

#include "SampleGameRun.h"
#include "msg/MsgReceiver.h"
#include "msg/MsgSender.h"
#include "msg/PageCallKind.h"
#include "platform/CopyData.h"
#include "platform/Loop.h"
#include "platform/NativeWindows.h"

namespace qel::test {
namespace {

constexpr int kPatienceMs = 10000;

TEST(SampleGameGreetingTest, CallsThePageOnceEmbeddedAndRecordsTheReply) {
  TWindowSystem& windows = DefaultWindowSystem();
  TSampleGameRun run("Greeting", "QelSampleWnd", "");
  const TWindowHandle game = run.AwaitWindow(windows, kPatienceMs);
  ASSERT_NE(game, 0u);
  const TWindowHandle frame = windows.CreateWindow(0, 0, 0, 640, 480);
  const TWindowHandle host = windows.CreateWindow(0, 0, 0, 640, 480);
  ASSERT_NE(frame, 0u);
  ASSERT_NE(host, 0u);

  TQEL_MsgReceiver receiver(game);
  TQEL_MsgSender sender(game, host);
  TCopyDataListener listener(host, [&](TWindowHandle from, uint32_t tag, std::span<const uint8_t> block) {
    receiver.HandleCopyData(from, tag, block);
  });
  // A window nobody listens on first (as a window manager's frame would be),
  // then the plug-in's: the game asks again there.
  ASSERT_TRUE(windows.SetParent(game, frame));
  ASSERT_TRUE(windows.SetParent(game, host));
  ASSERT_TRUE(RunLoopUntil([&] { return receiver.MessageCount() > 0; }, kPatienceMs));
  TQEL_Message request;
  ASSERT_TRUE(receiver.PopMessage(request));
  EXPECT_EQ(request.Kind, pcCallWindow);
  EXPECT_EQ(request.Text, "qelGameSays");
  EXPECT_EQ(request.Values, (std::vector<TQEL_Variant>{TQEL_Variant::String("Hello from the sample game"),
                                                       TQEL_Variant::Integer(42)}));

  const std::vector<TQEL_Variant> page_says = {TQEL_Variant::WideString(u"Welcome \u00E9"),
                                               TQEL_Variant::Integer(7)};
  sender.SendReplyWithValues(pcCallWindow, 1, page_says, request.Id);
  const std::string reply_file = run.Folder() / "page-reply.txt";
  ASSERT_TRUE(RunLoopUntil([&] { return FileContent(reply_file) != "<missing>"; }, kPatienceMs));
  EXPECT_EQ(FileContent(reply_file), "code=1\nvalue=Welcome \xC3\xA9\n");

  // Still the game it was: it ends with its host.
  windows.DestroyWindow(host);
  EXPECT_EQ(run.WaitForExit(kPatienceMs), 0);
  windows.DestroyWindow(frame);
}

}  // namespace
}  // namespace qel::test
