#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "RawDatagram.h"
#include "TestWindows.h"
#include "platform/CopyData.h"
#include "platform/Error.h"
#include "platform/Loop.h"
#include "platform/posix/CopyDataWire.h"

namespace qel::test {
namespace {

constexpr int kPatienceMs = 5000;
constexpr uint32_t kTag = 0x41424344;

struct TBlock {
  TWindowHandle Sender;
  uint32_t Tag;
  std::vector<uint8_t> Bytes;
};

// A listener that keeps what it receives.
class Inbox {
 public:
  explicit Inbox(TWindowHandle window)
      : listener_(std::make_unique<TCopyDataListener>(
            window, [this](TWindowHandle sender, uint32_t tag, std::span<const uint8_t> block) {
              blocks.push_back({sender, tag, {block.begin(), block.end()}});
              if (then) then();
            })) {}

  bool AwaitBlocks(size_t count) {
    return RunLoopUntil([&] { return blocks.size() >= count; }, kPatienceMs);
  }
  void Close() { listener_.reset(); }

  std::vector<TBlock> blocks;
  std::function<void()> then;

 private:
  std::unique_ptr<TCopyDataListener> listener_;
};

std::vector<uint8_t> Pattern(size_t size) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + i / 251);
  return bytes;
}

TEST(CopyDataTest, BlocksArriveWithSenderAndTagInOrderAtEverySize) {
  const TWindowHandle window = UniqueWindow();
  const TWindowHandle sender = UniqueWindow();
  Inbox inbox(window);
  // Inline up to the limit, in a memory file above it.
  const std::vector<size_t> sizes = {0, 1, 5, kInlineCopyData, kInlineCopyData + 1, 3 << 20};
  for (size_t size : sizes) {
    ASSERT_TRUE(
        SendCopyData(window, sender, kTag + static_cast<uint32_t>(size), Pattern(size), 1000))
        << size;
  }
  ASSERT_TRUE(inbox.AwaitBlocks(sizes.size()));
  ASSERT_EQ(inbox.blocks.size(), sizes.size());
  for (size_t i = 0; i < sizes.size(); ++i) {
    EXPECT_EQ(inbox.blocks[i].Sender, sender);
    EXPECT_EQ(inbox.blocks[i].Tag, kTag + sizes[i]);
    EXPECT_EQ(inbox.blocks[i].Bytes, Pattern(sizes[i])) << sizes[i];
  }
}

TEST(CopyDataTest, NoListenerNoWindowOrTooLargeIsNotSent) {
  const TWindowHandle window = UniqueWindow();
  const std::vector<uint8_t> block = {1, 2, 3};
  EXPECT_FALSE(SendCopyData(window, 1, kTag, block, 1000));
  EXPECT_FALSE(SendCopyData(0, 1, kTag, block, 1000));
  {
    Inbox inbox(window);
    EXPECT_FALSE(SendCopyData(window, 1, kTag, std::vector<uint8_t>(kLargestCopyData + 1), 1000));
    EXPECT_TRUE(SendCopyData(window, 1, kTag, block, 1000));
    EXPECT_TRUE(inbox.AwaitBlocks(1));
  }
  // Gone with its listener.
  EXPECT_FALSE(SendCopyData(window, 1, kTag, block, 1000));
}

TEST(CopyDataTest, AWindowHasOneListenerAtATime) {
  const TWindowHandle window = UniqueWindow();
  EXPECT_THROW(TCopyDataListener(0, nullptr), EQelError);
  auto first = std::make_unique<TCopyDataListener>(window, nullptr);
  EXPECT_THROW(TCopyDataListener(window, nullptr), EQelError);
  first.reset();
  TCopyDataListener second(window, nullptr);
  EXPECT_EQ(second.Window(), window);
}

TEST(CopyDataTest, SendingGivesUpWhenTheListenersQueueStaysFull) {
  const TWindowHandle window = UniqueWindow();
  Inbox inbox(window);
  // Nothing turns the loop, so nothing is taken off the queue.
  const std::vector<uint8_t> block(100, 1);
  size_t taken = 0;
  while (taken < 100000 && SendCopyData(window, 1, kTag, block, 20)) ++taken;
  EXPECT_LT(taken, 100000u);
  // What was taken still arrives, all of it and nothing more.
  ASSERT_TRUE(inbox.AwaitBlocks(taken));
  ASSERT_TRUE(SendCopyData(window, 2, kTag, block, 1000));
  ASSERT_TRUE(inbox.AwaitBlocks(taken + 1));
  EXPECT_EQ(inbox.blocks.size(), taken + 1);
  EXPECT_EQ(inbox.blocks.back().Sender, 2u);
}

TEST(CopyDataTest, AFailingHandlerIsReportedAndReceptionGoesOn) {
  const TWindowHandle window = UniqueWindow();
  Inbox inbox(window);
  inbox.then = [&] {
    if (inbox.blocks.size() == 1) throw EQelError("error param size");
  };
  ASSERT_TRUE(SendCopyData(window, 2, kTag, std::vector<uint8_t>{1}, 1000));
  ASSERT_TRUE(SendCopyData(window, 2, kTag, std::vector<uint8_t>{2}, 1000));
  testing::internal::CaptureStderr();
  const bool both = inbox.AwaitBlocks(2);
  const std::string reported = testing::internal::GetCapturedStderr();
  EXPECT_TRUE(both);
  EXPECT_EQ(reported, "npqelgame: error param size\n");
}

TEST(CopyDataTest, TheHandlerMayDestroyItsListener) {
  const TWindowHandle window = UniqueWindow();
  Inbox inbox(window);
  inbox.then = [&] { inbox.Close(); };
  ASSERT_TRUE(SendCopyData(window, 2, kTag, std::vector<uint8_t>{1}, 1000));
  ASSERT_TRUE(SendCopyData(window, 2, kTag, std::vector<uint8_t>{2}, 1000));
  ASSERT_TRUE(inbox.AwaitBlocks(1));
  // The second was waiting on the same turn of the loop; it went with the listener.
  EXPECT_EQ(inbox.blocks.size(), 1u);
  EXPECT_FALSE(SendCopyData(window, 2, kTag, std::vector<uint8_t>{3}, 1000));
}

TEST(CopyDataTest, MalformedDatagramsAreDroppedAndTheirDescriptorsClosed) {
  const TWindowHandle window = UniqueWindow();
  PumpLoopOnce();  // the loop's own descriptors exist from its first use on
  const int descriptorsBefore = OpenDescriptorCount();
  {
    Inbox inbox(window);
    const std::vector<uint8_t> five = {1, 2, 3, 4, 5};
    const std::vector<uint8_t> ten(10, 9);
    OwnedDescriptor fiveFile = MemoryFileWith(five);
    OwnedDescriptor otherFile = MemoryFileWith(five);
    Pipe pipe = OpenPipe();
    ASSERT_GE(fiveFile.get(), 0);
    ASSERT_GE(pipe.read.get(), 0);
    const int one[] = {fiveFile.get()};
    const int two[] = {fiveFile.get(), otherFile.get()};
    const int piped[] = {pipe.read.get()};

    struct TRaw {
      const char* Name;
      std::vector<uint8_t> Datagram;
      std::span<const int> Descriptors;
    };
    const std::vector<TRaw> raws = {
        {"shorter than the header", {1, 2, 3, 4, 5}, {}},
        {"block shorter than stated", Datagram(7, kTag, 10, five), {}},
        {"block longer than stated", Datagram(7, kTag, 5, ten), {}},
        {"inline block larger than the buffer",
         Datagram(7, kTag, kInlineCopyData + 10, std::vector<uint8_t>(kInlineCopyData + 10)),
         {}},
        {"stated size above the largest", Datagram(7, kTag, kLargestCopyData + 1), one},
        {"file of another size", Datagram(7, kTag, 4), one},
        {"file and inline bytes", Datagram(7, kTag, 5, five), one},
        {"two files", Datagram(7, kTag, 5), two},
        {"a pipe instead of a file", Datagram(7, kTag, 5), piped},
    };
    for (const TRaw& raw : raws) {
      ASSERT_TRUE(SendRawDatagram(window, raw.Datagram, raw.Descriptors)) << raw.Name;
    }
    // A well-formed one last: when it is in, everything before it was seen.
    ASSERT_TRUE(SendRawDatagram(window, Datagram(8, kTag, 5), one));
    ASSERT_TRUE(inbox.AwaitBlocks(1));
    ASSERT_EQ(inbox.blocks.size(), 1u);
    EXPECT_EQ(inbox.blocks[0].Sender, 8u);
    EXPECT_EQ(inbox.blocks[0].Bytes, five);
  }
  EXPECT_EQ(OpenDescriptorCount(), descriptorsBefore);
}

}  // namespace
}  // namespace qel::test
