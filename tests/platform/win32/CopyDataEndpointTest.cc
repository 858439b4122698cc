#include <gtest/gtest.h>
#include <windows.h>

#include <thread>
#include <vector>

#include "TestWindows.h"
#include "platform/CopyDataEndpoint.h"

namespace qel::test {
namespace {

TWindowHandle H(HWND window) { return reinterpret_cast<TWindowHandle>(window); }

HANDLE EventOf(const TCopyDataEndpoint& endpoint) {
  return reinterpret_cast<HANDLE>(static_cast<intptr_t>(endpoint.WaitHandle()));
}

bool IsSet(HANDLE event) { return WaitForSingleObject(event, 0) == WAIT_OBJECT_0; }

class CopyDataEndpointTest : public ::testing::Test {
 protected:
  const TOwnedWindow game{MakeTestWindow("Game", 0, 0, HWND_MESSAGE)};
  const TOwnedWindow plugin{MakeTestWindow("Plug-in", 0, 0, HWND_MESSAGE)};
};

TEST_F(CopyDataEndpointTest, TheWaitHandleIsSetWhileBlocksAreQueued) {
  TCopyDataEndpoint endpoint(H(game.get()));
  EXPECT_EQ(endpoint.Window(), H(game.get()));
  const HANDLE event = EventOf(endpoint);
  EXPECT_FALSE(IsSet(event));
  TCopyDataBlock block;
  EXPECT_EQ(endpoint.ReceiveOne(block), TCopyDataReceipt::Nothing);
  EXPECT_FALSE(endpoint.WaitForDatagram(0));

  const std::vector<uint8_t> first = {1, 2, 3};
  const std::vector<uint8_t> second = {4};
  ASSERT_EQ(SendCopyDataTo(H(game.get()), H(plugin.get()), 7, first, kPatienceMs), TCopyDataSent::Taken);
  ASSERT_EQ(SendCopyDataTo(H(game.get()), H(plugin.get()), 8, second, kPatienceMs), TCopyDataSent::Taken);
  EXPECT_TRUE(IsSet(event));
  EXPECT_TRUE(endpoint.WaitForDatagram(0));

  ASSERT_EQ(endpoint.ReceiveOne(block), TCopyDataReceipt::Block);
  EXPECT_EQ(block.Sender, H(plugin.get()));
  EXPECT_EQ(block.Tag, 7u);
  EXPECT_EQ(block.Bytes, first);
  EXPECT_TRUE(IsSet(event));
  ASSERT_EQ(endpoint.ReceiveOne(block), TCopyDataReceipt::Block);
  EXPECT_EQ(block.Tag, 8u);
  EXPECT_EQ(block.Bytes, second);
  EXPECT_FALSE(IsSet(event));
  EXPECT_EQ(endpoint.ReceiveOne(block), TCopyDataReceipt::Nothing);
  EXPECT_TRUE(block.Bytes.empty());
}

TEST_F(CopyDataEndpointTest, WaitingTakesTheBlocksOtherThreadsSend) {
  TCopyDataEndpoint endpoint(H(game.get()));
  constexpr uint32_t kCount = 20;
  std::thread plugin_thread([&] {
    Sleep(50);  // the game waits first
    for (uint32_t i = 0; i < kCount; ++i)
      SendCopyDataTo(H(game.get()), 99, i, std::vector<uint8_t>(i, static_cast<uint8_t>(i)), kPatienceMs);
  });
  // No messages are pumped here: the endpoint's wait takes them itself.
  std::vector<TCopyDataBlock> received;
  while (received.size() < kCount && endpoint.WaitForDatagram(kPatienceMs)) {
    TCopyDataBlock block;
    while (endpoint.ReceiveOne(block) == TCopyDataReceipt::Block) received.push_back(block);
  }
  plugin_thread.join();
  ASSERT_EQ(received.size(), kCount);
  for (uint32_t i = 0; i < kCount; ++i) {
    EXPECT_EQ(received[i].Tag, i);
    EXPECT_EQ(received[i].Bytes, std::vector<uint8_t>(i, static_cast<uint8_t>(i)));
  }
}

TEST_F(CopyDataEndpointTest, OneEndpointPerWindowWhileItLives) {
  {
    TCopyDataEndpoint endpoint(H(game.get()));
    EXPECT_THROW(TCopyDataEndpoint{H(game.get())}, EWindowTaken);
  }
  TCopyDataEndpoint again(H(game.get()));
  EXPECT_THROW(TCopyDataEndpoint{0}, EQelError);
  // A window that goes before its endpoint leaves nothing behind to send to.
  HWND short_lived = MakeTestWindow("Short", 0, 0, HWND_MESSAGE);
  TCopyDataEndpoint orphan(H(short_lived));
  DestroyWindow(short_lived);
  EXPECT_EQ(SendCopyDataTo(H(short_lived), H(plugin.get()), 1, {}, 100), TCopyDataSent::NoReceiver);
}

}  // namespace
}  // namespace qel::test
