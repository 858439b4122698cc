// The channel between two processes: this test is the plug-in, a peer
// process (GamePeer.cc) is the game.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "TestWindows.h"
#include "msg/MsgReceiver.h"
#include "msg/MsgSender.h"
#include "msg/PageCallKind.h"
#include "platform/CopyData.h"
#include "platform/Error.h"
#include "platform/Loop.h"

namespace qel::test {
namespace {

constexpr int kPatienceMs = 20000;

// The plug-in's side: its window's listener feeds a receiver that hears the
// game's window only, and a sender answers to that window.
class PluginSide {
 public:
  PluginSide(TWindowHandle plugin, TWindowHandle game)
      : receiver(game),
        sender(game, plugin),
        listener(plugin, [this](TWindowHandle from, uint32_t tag, std::span<const uint8_t> block) {
          ++deliveries;
          try {
            receiver.HandleCopyData(from, tag, block);
          } catch (const EQelError& failure) {
            refusals.push_back(failure.what());
          }
        }) {}

  std::optional<TQEL_Message> Next() {
    if (!RunLoopUntil([this] { return receiver.MessageCount() > 0; }, kPatienceMs))
      return std::nullopt;
    TQEL_Message message;
    receiver.PopMessage(message);
    return message;
  }

  TQEL_MsgReceiver receiver;
  TQEL_MsgSender sender;
  size_t deliveries = 0;
  std::vector<std::string> refusals;
  TCopyDataListener listener;
};

// A game in a process of its own; it makes its window and names it, and
// speaks once told to (Go).
struct Peer {
  explicit Peer(TWindowHandle plugin, std::vector<std::string> more = {}) {
    std::vector<std::string> args = {std::to_string(plugin)};
    args.insert(args.end(), more.begin(), more.end());
    process = std::make_unique<TChildProcess>(QEL_GAME_PEER_PATH, args);
    const std::optional<std::string> line = process->ReadLine(kPatienceMs);
    if (line) window = static_cast<TWindowHandle>(std::stoull(*line));
  }
  void Go() { process->WriteLine("go"); }

  std::unique_ptr<TChildProcess> process;
  TWindowHandle window = 0;  // 0 when it named none
};

TEST(GameChannelTest, RequestsAndAnswersCrossBetweenTwoProcesses) {
  const TWindowHandle plugin = UniqueWindow();
  Peer peer(plugin);
  ASSERT_NE(peer.window, 0u);
  PluginSide side(plugin, peer.window);
  peer.Go();

  std::optional<TQEL_Message> ready = side.Next();
  ASSERT_TRUE(ready);
  EXPECT_EQ(ready->Kind, pcCallWindow);
  EXPECT_EQ(ready->Text, "ready");

  const std::vector<TQEL_Variant> values = {
      TQEL_Variant::Integer(-7),           TQEL_Variant::Double(0.125),
      TQEL_Variant::String("Gr\xFC\xDF"),  TQEL_Variant::Boolean(true),
      TQEL_Variant::WideString(u"\u4E2D"), TQEL_Variant::ByteArray({0, 1, 2}),
  };
  side.sender.SendReplyWithValues(pcCallWindow, 1, values, 77);
  std::optional<TQEL_Message> echo = side.Next();
  ASSERT_TRUE(echo);
  EXPECT_EQ(echo->Id, 77);
  EXPECT_EQ(echo->Text, "echo 1 1");
  EXPECT_EQ(echo->Values, values);

  side.sender.SendReply(pcCallParent, 0, 78);
  echo = side.Next();
  ASSERT_TRUE(echo);
  EXPECT_EQ(echo->Id, 78);
  EXPECT_EQ(echo->Text, "echo 3 0");
  EXPECT_TRUE(echo->Values.empty());

  // Far more than one datagram holds, both ways.
  std::vector<uint8_t> large(1 << 20);
  for (size_t i = 0; i < large.size(); ++i) large[i] = static_cast<uint8_t>(i % 253);
  const std::vector<TQEL_Variant> big = {TQEL_Variant::ByteArray(large),
                                         TQEL_Variant::String(std::string(65535, 'q'))};
  side.sender.SendReplyWithValues(pcCallFrame, 1, big, 79);
  echo = side.Next();
  ASSERT_TRUE(echo);
  EXPECT_EQ(echo->Id, 79);
  EXPECT_EQ(echo->Text, "echo 5 1");
  EXPECT_TRUE(echo->Values == big);

  side.sender.SendReply(pcEvalWindow, 1, 80);  // ends the peer
  EXPECT_EQ(peer.process->WaitForExit(kPatienceMs), 0);
  EXPECT_TRUE(side.refusals.empty());
  EXPECT_EQ(side.receiver.MessageCount(), 0u);
}

TEST(GameChannelTest, AnotherWindowIsNotHeardAndABadBlockIsRefused) {
  const TWindowHandle plugin = UniqueWindow();
  Peer peer(plugin, {"garbage"});
  ASSERT_NE(peer.window, 0u);
  PluginSide side(plugin, peer.window);

  // A process that speaks from a window other than the game's.
  {
    Peer stranger(plugin);
    ASSERT_NE(stranger.window, 0u);
    ASSERT_NE(stranger.window, peer.window);
    stranger.Go();
    ASSERT_TRUE(RunLoopUntil([&] { return side.deliveries >= 1; }, kPatienceMs));
    EXPECT_EQ(side.receiver.MessageCount(), 0u);
  }

  // The game itself, with a bad block before its first request.
  side.deliveries = 0;
  peer.Go();
  std::optional<TQEL_Message> ready = side.Next();
  ASSERT_TRUE(ready);
  EXPECT_EQ(ready->Text, "ready");
  EXPECT_EQ(side.deliveries, 2u);
  EXPECT_EQ(side.refusals, std::vector<std::string>{"error param size"});
  side.sender.SendReply(pcEvalWindow, 1, 1);
  EXPECT_EQ(peer.process->WaitForExit(kPatienceMs), 0);
}

}  // namespace
}  // namespace qel::test
