// The copy-data transport as the plug-in uses it, on every system.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "CopyDataSizes.h"
#include "ListenerInbox.h"
#include "TestWindows.h"
#include "platform/CopyData.h"
#include "platform/Error.h"

namespace qel::test {
namespace {

TEST(CopyDataTest, BlocksArriveWithSenderAndTagInOrderAtEverySize) {
  const TWindowHandle window = UniqueWindow();
  const TWindowHandle sender = UniqueWindow();
  Inbox inbox(window);
  // Both sides of every size at which the transport carries a block differently.
  std::vector<size_t> sizes = {0, 1, 5};
  for (size_t boundary : CopyDataBoundaries()) sizes.insert(sizes.end(), {boundary, boundary + 1});
  sizes.push_back(3 << 20);
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

}  // namespace
}  // namespace qel::test
