#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "BlockBuilder.h"
#include "msg/MsgReceiver.h"
#include "msg/MsgSender.h"
#include "msg/PageCallKind.h"
#include "platform/Error.h"

namespace qel::test {
namespace {

constexpr TWindowHandle kGame = 0x3e00004;
constexpr TWindowHandle kPlugin = 0x1c00021;

struct TSent {
  TWindowHandle Target;
  TWindowHandle Own;
  uint32_t Tag;
  std::vector<uint8_t> Block;
  int TimeoutMs;
};

class MsgSenderTest : public ::testing::Test {
 protected:
  TQEL_MsgSender sender{
      kGame, kPlugin,
      [this](TWindowHandle target, TWindowHandle own, uint32_t tag, std::span<const uint8_t> block,
             int timeout_ms) {
        sent.push_back({target, own, tag, {block.begin(), block.end()}, timeout_ms});
      }};
  std::vector<TSent> sent;

  // The failure text of a refused answer; empty when it was sent.
  std::string Refusal(std::span<const TQEL_Variant> values) {
    try {
      sender.SendReplyWithValues(pcCallWindow, 1, values, 5);
    } catch (const EQelError& failure) {
      return failure.what();
    }
    return {};
  }
};

TEST_F(MsgSenderTest, ReplyWithoutValuesIsSixBytesTaggedQELPToTheGame) {
  sender.SendReply(pcCallParent, 0, 0x01020304);
  sender.SendReply(pcEvalFrame, 1, -2);
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].Target, kGame);
  EXPECT_EQ(sent[0].Own, kPlugin);
  EXPECT_EQ(sent[0].Tag, 0x504C4551u);
  EXPECT_EQ(std::memcmp(&sent[0].Tag, "QELP", 4), 0);
  EXPECT_EQ(sent[0].TimeoutMs, 1000);
  EXPECT_EQ(sent[0].Block, (std::vector<uint8_t>{4, 3, 2, 1, 3, 0}));
  EXPECT_EQ(sent[1].Block, (std::vector<uint8_t>{0xFE, 0xFF, 0xFF, 0xFF, 6, 1}));
}

TEST_F(MsgSenderTest, ReplyWithOneIntegerIsTwelveBytes) {
  const TQEL_Variant values[] = {TQEL_Variant::Integer(42)};
  sender.SendReplyWithValues(pcCallParent, 1, values, 7);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].Block, (std::vector<uint8_t>{7, 0, 0, 0, 3, 1, 1, 1, 42, 0, 0, 0}));

  sender.SendReplyWithValues(pcCallWindow, 1, {}, 8);
  EXPECT_EQ(sent[1].Block, (std::vector<uint8_t>{8, 0, 0, 0, 1, 1, 0}));  // an empty list
}

TEST_F(MsgSenderTest, EveryKindIsWrittenWithItsTagInArgumentOrder) {
  const TQEL_Variant values[] = {
      TQEL_Variant::Integer(-1),    TQEL_Variant::Boolean(true),
      TQEL_Variant::Double(1.5),    TQEL_Variant::ByteArray({9, 8}),
      TQEL_Variant::String("ab"),   TQEL_Variant::WideString(u"\u00e9z"),
      TQEL_Variant::Boolean(false),
  };
  sender.SendReplyWithValues(pcCallFrame, 1, values, 1);
  const std::vector<uint8_t> expected = BlockBuilder()
                                            .Head(1, pcCallFrame)
                                            .U8(1)
                                            .U8(7)
                                            .U8(1)
                                            .I32(-1)
                                            .U8(4)
                                            .U8(1)
                                            .U8(2)
                                            .F64(1.5)
                                            .U8(11)
                                            .I32(2)
                                            .U8(9)
                                            .U8(8)
                                            .U8(3)
                                            .U16(2)
                                            .Text("ab")
                                            .U8(5)
                                            .U16(2)
                                            .U16(0xE9)
                                            .U16('z')
                                            .U8(4)
                                            .U8(0)
                                            .Bytes();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].Block, expected);
}

TEST_F(MsgSenderTest, BufferGrowsInStepsOf1024PlusOneStepAndNeverShrinks) {
  EXPECT_EQ(sender.Capacity(), 1024u);
  // Header 6, count 1, tag and length 3: a string of n bytes needs 10 + n.
  auto need = [&](size_t bytes) {
    const TQEL_Variant values[] = {TQEL_Variant::String(std::string(bytes - 10, 'x'))};
    sender.SendReplyWithValues(pcCallWindow, 1, values, 1);
    EXPECT_EQ(sent.back().Block.size(), bytes);
  };
  need(1024);
  EXPECT_EQ(sender.Capacity(), 1024u);
  need(1025);
  EXPECT_EQ(sender.Capacity(), 3072u);
  need(20);
  sender.SendReply(pcEvalWindow, 1, 2);
  EXPECT_EQ(sender.Capacity(), 3072u);
  need(3072);
  EXPECT_EQ(sender.Capacity(), 3072u);
  need(3073);
  EXPECT_EQ(sender.Capacity(), 5120u);
  need(2048 + 1);
  EXPECT_EQ(sender.Capacity(), 5120u);
}

TEST_F(MsgSenderTest, KindsWithoutATagAndOversizedValuesAreRefusedAndSendNothing) {
  const TQEL_Variant empty[] = {TQEL_Variant::Integer(1), TQEL_Variant::Empty()};
  EXPECT_EQ(Refusal(empty), "invalid param");
  TQEL_Variant unknown = TQEL_Variant::Integer(1);
  unknown.Tag = 7;
  EXPECT_EQ(Refusal({&unknown, 1}), "invalid param");

  std::vector<TQEL_Variant> many(256, TQEL_Variant::Boolean(true));
  EXPECT_EQ(Refusal(many), "Range check error");
  const TQEL_Variant longText[] = {TQEL_Variant::String(std::string(65536, 'a'))};
  EXPECT_EQ(Refusal(longText), "Range check error");
  const TQEL_Variant longWide[] = {TQEL_Variant::WideString(std::u16string(65536, u'a'))};
  EXPECT_EQ(Refusal(longWide), "Range check error");
  EXPECT_TRUE(sent.empty());
  // A refused answer did not make room for itself.
  EXPECT_EQ(sender.Capacity(), 1024u);

  many.pop_back();
  EXPECT_EQ(Refusal(many), "");
  const TQEL_Variant longest[] = {TQEL_Variant::String(std::string(65535, 'a')),
                                  TQEL_Variant::WideString(std::u16string(65535, u'a'))};
  EXPECT_EQ(Refusal(longest), "");
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].Block.size(), 6u + 1 + 255 * 2);
  EXPECT_EQ(sent[1].Block.size(), 6u + 1 + 3 + 65535 + 3 + 2 * 65535);
}

TEST_F(MsgSenderTest, WhatTheSenderWritesTheReceiverReadsBack) {
  double nan;
  const uint64_t nanBits = 0x7FF4000000000123;  // a NaN with a payload
  std::memcpy(&nan, &nanBits, sizeof nan);
  const std::vector<TQEL_Variant> values = {
      TQEL_Variant::Integer(INT32_MIN), TQEL_Variant::Double(-0.0),
      TQEL_Variant::Double(nan),        TQEL_Variant::String(std::string("\xE9\0", 2)),
      TQEL_Variant::Boolean(true),      TQEL_Variant::WideString(u"\xD83D\xDE00"),
      TQEL_Variant::ByteArray({}),      TQEL_Variant::ByteArray(std::vector<uint8_t>(70000, 3)),
  };
  sender.SendReplyWithValues(pcCallFrame, 1, values, 123456);
  ASSERT_EQ(sent.size(), 1u);
  TQEL_MsgReceiver game(kPlugin);
  game.HandleCopyData(sent[0].Own, sent[0].Tag, sent[0].Block);
  TQEL_Message answer;
  ASSERT_TRUE(game.PopMessage(answer));
  EXPECT_EQ(answer.Id, 123456);
  EXPECT_EQ(answer.Kind, pcCallFrame);
  EXPECT_EQ(answer.Code, 1);
  EXPECT_EQ(answer.Values, values);  // byte for byte, the NaN's payload included
  EXPECT_TRUE(std::signbit(answer.Values[1].AsDouble()));
}

}  // namespace
}  // namespace qel::test
