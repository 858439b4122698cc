// What only the Linux transport has: a bounded socket queue, and raw
// datagrams with descriptors, which can arrive malformed.
#include <gtest/gtest.h>

#include <span>
#include <vector>

#include "ListenerInbox.h"
#include "RawDatagram.h"
#include "TestWindows.h"
#include "platform/Loop.h"
#include "platform/posix/CopyDataWire.h"

namespace qel::test {
namespace {

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
