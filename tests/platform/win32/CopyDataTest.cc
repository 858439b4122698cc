#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "CopyDataSender.h"
#include "ListenerInbox.h"
#include "TestWindows.h"
#include "platform/CopyData.h"

namespace qel::test {
namespace {

TWindowHandle H(HWND window) { return reinterpret_cast<TWindowHandle>(window); }

class CopyDataTest : public ::testing::Test {
 protected:
  const TOwnedWindow window{MakeTestWindow("Plug-in", 0, 0, HWND_MESSAGE)};
  const TOwnedWindow sender{MakeTestWindow("Game", 0, 0, HWND_MESSAGE)};
};

TEST_F(CopyDataTest, BlocksArriveInOrderFromTheLoopWithSenderAndTag) {
  Inbox inbox(H(window.get()));
  const std::vector<size_t> sizes = {0, 1, 5, 65536, 3 << 20};
  for (size_t i = 0; i < sizes.size(); ++i)
    ASSERT_EQ(SendCopyDataTo(H(window.get()), H(sender.get()), kTag + static_cast<uint32_t>(i),
                             Pattern(sizes[i], static_cast<uint8_t>(i)), kPatienceMs),
              TCopyDataSent::Taken);
  // Copied while sent, handed out only when the loop turns.
  EXPECT_TRUE(inbox.blocks.empty());
  ASSERT_TRUE(inbox.AwaitBlocks(sizes.size()));
  ASSERT_EQ(inbox.blocks.size(), sizes.size());
  for (size_t i = 0; i < sizes.size(); ++i) {
    EXPECT_EQ(inbox.blocks[i].Sender, H(sender.get()));
    EXPECT_EQ(inbox.blocks[i].Tag, kTag + i);
    EXPECT_EQ(inbox.blocks[i].Bytes, Pattern(sizes[i], static_cast<uint8_t>(i))) << "block " << i;
  }
}

TEST_F(CopyDataTest, BlocksFromAnotherThreadArriveInOrder) {
  Inbox inbox(H(window.get()));
  constexpr int kCount = 200;
  std::vector<TCopyDataSent> results(kCount);
  std::thread game([&] {
    for (int i = 0; i < kCount; ++i)
      results[static_cast<size_t>(i)] =
          SendCopyDataTo(H(window.get()), 77, static_cast<uint32_t>(i), Pattern(static_cast<size_t>(i) * 31), kPatienceMs);
  });
  const bool arrived = inbox.AwaitBlocks(kCount);
  game.join();
  ASSERT_TRUE(arrived);
  for (int i = 0; i < kCount; ++i) {
    EXPECT_EQ(results[static_cast<size_t>(i)], TCopyDataSent::Taken);
    EXPECT_EQ(inbox.blocks[static_cast<size_t>(i)].Tag, static_cast<uint32_t>(i));
    EXPECT_EQ(inbox.blocks[static_cast<size_t>(i)].Bytes, Pattern(static_cast<size_t>(i) * 31));
  }
}

// The sender program lies beside the test program.
std::string SenderProgram() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path);
  folder.resize(folder.find_last_of("\\/") + 1);
  return folder + "win32_copydata_sender.exe";
}

// Runs the sender program on `window`, pumping this thread's messages when
// `pump` (else leaving them waiting); answers its exit code.
DWORD RunSender(HWND window, int count, int timeout_ms, bool pump) {
  std::string command = "\"" + SenderProgram() + "\" " + std::to_string(H(window)) + " " +
                        std::to_string(count) + " " + std::to_string(timeout_ms);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    ADD_FAILURE() << "cannot start " << command;
    return 0;
  }
  const auto ended = [&] { return WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0; };
  if (pump)
    EXPECT_TRUE(PumpUntil(ended, 30000));
  else
    EXPECT_EQ(WaitForSingleObject(process.hProcess, 30000), WAIT_OBJECT_0);
  DWORD outcome = 0;
  GetExitCodeProcess(process.hProcess, &outcome);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return outcome;
}

TEST_F(CopyDataTest, BlocksFromAnotherProcessArriveInOrder) {
  Inbox inbox(H(window.get()));
  constexpr int kCount = 25;
  EXPECT_EQ(RunSender(window.get(), kCount, kPatienceMs, true), static_cast<DWORD>(kCount));
  ASSERT_TRUE(inbox.AwaitBlocks(kCount));
  for (int i = 0; i < kCount; ++i) {
    const TBlock& block = inbox.blocks[static_cast<size_t>(i)];
    EXPECT_EQ(block.Tag, kSenderFirstTag + static_cast<uint32_t>(i));
    EXPECT_EQ(block.Bytes, SenderBlock(i));
    EXPECT_NE(block.Sender, 0u);
    EXPECT_NE(block.Sender, H(window.get()));
  }
}

TEST_F(CopyDataTest, AReceiverThatDoesNotTakeItsMessagesInTimeTimesOut) {
  // This thread takes nothing while the other process sends.
  Inbox inbox(H(window.get()));
  EXPECT_EQ(RunSender(window.get(), 1, 200, false), 1000u);
}

TEST_F(CopyDataTest, AListenerMayBeDestroyedFromItsOwnHandler) {
  Inbox inbox(H(window.get()));
  inbox.then = [&] { inbox.Close(); };
  for (uint32_t i = 0; i < 3; ++i)
    ASSERT_EQ(SendCopyDataTo(H(window.get()), H(sender.get()), i, Pattern(10), kPatienceMs), TCopyDataSent::Taken);
  ASSERT_TRUE(inbox.AwaitBlocks(1));
  PumpUntil([] { return false; }, 100);
  EXPECT_EQ(inbox.blocks.size(), 1u);
  // Nobody listens any more; the window takes a new listener.
  EXPECT_EQ(SendCopyDataTo(H(window.get()), H(sender.get()), kTag, Pattern(1), kPatienceMs),
            TCopyDataSent::NoReceiver);
  Inbox again(H(window.get()));
  EXPECT_EQ(SendCopyDataTo(H(window.get()), H(sender.get()), kTag, Pattern(1), kPatienceMs), TCopyDataSent::Taken);
  EXPECT_TRUE(again.AwaitBlocks(1));
}

TEST_F(CopyDataTest, AFloodIsHandedOutOverSeveralTurnsWithoutLoss) {
  Inbox inbox(H(window.get()));
  constexpr uint32_t kCount = 1000;
  for (uint32_t i = 0; i < kCount; ++i)
    ASSERT_EQ(SendCopyDataTo(H(window.get()), H(sender.get()), i, {}, kPatienceMs), TCopyDataSent::Taken);
  ASSERT_TRUE(inbox.AwaitBlocks(kCount));
  for (uint32_t i = 0; i < kCount; ++i) ASSERT_EQ(inbox.blocks[i].Tag, i);
}

TEST_F(CopyDataTest, OneListenerOrEndpointPerWindow) {
  TCopyDataListener first(H(window.get()), {});
  EXPECT_THROW(TCopyDataListener(H(window.get()), {}), EWindowTaken);
  EXPECT_THROW(TCopyDataEndpoint{H(window.get())}, EWindowTaken);
  EXPECT_THROW(TCopyDataListener(0, {}), EQelError);
  // Only the receiving thread's windows can be watched.
  TWindowThread other;
  EXPECT_THROW(TCopyDataListener(H(other.Window()), {}), EQelError);
  TCopyDataListener second(H(sender.get()), {});
}

TEST_F(CopyDataTest, BlocksAboveTheLimitAreNotSent) {
  Inbox inbox(H(window.get()));
  std::vector<uint8_t> largest(kLargestCopyData);
  largest.back() = 0x5A;
  EXPECT_EQ(SendCopyDataTo(H(window.get()), H(sender.get()), kTag, largest, kPatienceMs), TCopyDataSent::Taken);
  largest.push_back(1);
  EXPECT_EQ(SendCopyDataTo(H(window.get()), H(sender.get()), kTag, largest, kPatienceMs), TCopyDataSent::TooLarge);
  EXPECT_FALSE(SendCopyData(H(window.get()), H(sender.get()), kTag, largest, kPatienceMs));
  ASSERT_TRUE(inbox.AwaitBlocks(1));
  PumpMessages();
  ASSERT_EQ(inbox.blocks.size(), 1u);
  EXPECT_EQ(inbox.blocks[0].Bytes.size(), kLargestCopyData);
  EXPECT_EQ(inbox.blocks[0].Bytes.back(), 0x5A);
}

TEST_F(CopyDataTest, WithoutAListeningWindowNobodyReceives) {
  const std::vector<uint8_t> block = Pattern(8);
  EXPECT_EQ(SendCopyDataTo(0, H(sender.get()), kTag, block, 100), TCopyDataSent::NoReceiver);
  EXPECT_EQ(SendCopyDataTo(H(window.get()), H(sender.get()), kTag, block, 100), TCopyDataSent::NoReceiver);
  HWND gone = MakeTestWindow("Gone", 0, 0, HWND_MESSAGE);
  DestroyWindow(gone);
  EXPECT_EQ(SendCopyDataTo(H(gone), H(sender.get()), kTag, block, 100), TCopyDataSent::NoReceiver);
}

TEST_F(CopyDataTest, MalformedBlocksAreRefused) {
  Inbox inbox(H(window.get()));
  if constexpr (sizeof(ULONG_PTR) > sizeof(uint32_t)) {
    // A tag wider than 32 bits is no tag of ours.
    COPYDATASTRUCT wide_tag{};
    wide_tag.dwData = static_cast<ULONG_PTR>(uint64_t{1} << 32 | 5);
    EXPECT_EQ(SendMessageA(window.get(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&wide_tag)), FALSE);
  }
  EXPECT_EQ(SendMessageA(window.get(), WM_COPYDATA, 0, 0), FALSE);
  COPYDATASTRUCT no_bytes{};
  no_bytes.cbData = 10;
  EXPECT_EQ(SendMessageA(window.get(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&no_bytes)), FALSE);
  PumpUntil([] { return false; }, 50);
  EXPECT_TRUE(inbox.blocks.empty());
}

}  // namespace
}  // namespace qel::test
