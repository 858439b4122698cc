#include <gtest/gtest.h>

#include <string>

#include "BlockBuilder.h"
#include "msg/MsgReceiver.h"
#include "msg/PageCallKind.h"
#include "platform/Error.h"

namespace qel::test {
namespace {

constexpr TWindowHandle kGame = 0x4a00007;
constexpr TWindowHandle kOther = 0x4a00009;

// What became of one block: queued, ignored, or refused with this text.
struct TOutcome {
  bool Refused = false;
  std::string Failure;
};

TOutcome Deliver(TQEL_MsgReceiver& receiver, std::span<const uint8_t> bytes,
                 uint32_t magic = kMagicRequest, TWindowHandle sender = kGame) {
  ExactBlock block(bytes);
  TOutcome outcome;
  try {
    receiver.HandleCopyData(sender, magic, block.Span());
  } catch (const EQelError& failure) {
    outcome.Refused = true;
    outcome.Failure = failure.what();
  }
  return outcome;
}

TQEL_Message PopOne(TQEL_MsgReceiver& receiver) {
  TQEL_Message message;
  EXPECT_TRUE(receiver.PopMessage(message));
  EXPECT_EQ(receiver.MessageCount(), 0u);
  return message;
}

TEST(MsgReceiverTest, ShortestRequestsOfEachLayoutAreQueuedEmpty) {
  TQEL_MsgReceiver receiver(kGame);
  // Kind 2 of exactly 5 bytes: the text is the (empty) rest of the block.
  EXPECT_FALSE(Deliver(receiver, BlockBuilder().Head(11, pcEvalWindow).Bytes()).Refused);
  TQEL_Message eval = PopOne(receiver);
  EXPECT_EQ(eval.Id, 11);
  EXPECT_EQ(eval.Kind, pcEvalWindow);
  EXPECT_EQ(eval.Text, "");
  EXPECT_TRUE(eval.Values.empty());

  // Kind 1 of 7 bytes: a text of length 0 and a value list of count 0.
  EXPECT_FALSE(
      Deliver(receiver, BlockBuilder().Head(12, pcCallWindow).U8(0).U8(0).Bytes()).Refused);
  TQEL_Message call = PopOne(receiver);
  EXPECT_EQ(call.Id, 12);
  EXPECT_EQ(call.Kind, pcCallWindow);
  EXPECT_EQ(call.Text, "");
  EXPECT_TRUE(call.Values.empty());
  EXPECT_EQ(call.Code, 0);
}

TEST(MsgReceiverTest, CallRequestCarriesEveryValueKindInOrder) {
  TQEL_MsgReceiver receiver(kGame);
  BlockBuilder block;
  block.Head(-3, pcCallParent).U8(8).Text("setScore").U8(9);
  block.U8(1).I32(-5);
  block.U8(2).F64(2.5);
  block.U8(3).U16(3).Text(std::string_view("a\0b", 3));
  block.U8(4).U8(2);  // any non-zero byte is true
  block.U8(5).U16(2).U16(0x03A9).U16('x');
  block.U8(11).I32(3).U8(1).U8(0).U8(255);
  block.U8(7);  // an unknown tag: an empty value of one byte
  block.U8(0);
  block.U8(1).I32(9);  // read right after the empty values
  ASSERT_FALSE(Deliver(receiver, block.Bytes()).Refused);
  TQEL_Message m = PopOne(receiver);
  EXPECT_EQ(m.Id, -3);
  EXPECT_EQ(m.Kind, pcCallParent);
  EXPECT_EQ(m.Text, "setScore");
  EXPECT_EQ(m.ObjectName, "");
  ASSERT_EQ(m.Values.size(), 9u);
  EXPECT_EQ(m.Values[0], TQEL_Variant::Integer(-5));
  EXPECT_EQ(m.Values[1], TQEL_Variant::Double(2.5));
  EXPECT_EQ(m.Values[2], TQEL_Variant::String(std::string("a\0b", 3)));
  EXPECT_EQ(m.Values[3].Tag, kTagBoolean);
  EXPECT_TRUE(m.Values[3].AsBoolean());
  EXPECT_EQ(m.Values[4], TQEL_Variant::WideString(u"\u03A9x"));
  EXPECT_EQ(m.Values[5], TQEL_Variant::ByteArray({1, 0, 255}));
  EXPECT_EQ(m.Values[6], TQEL_Variant::Empty());
  EXPECT_EQ(m.Values[7], TQEL_Variant::Empty());
  EXPECT_EQ(m.Values[8], TQEL_Variant::Integer(9));
}

TEST(MsgReceiverTest, FrameAndEvaluationRequestsFillNameAndText) {
  TQEL_MsgReceiver receiver(kGame);
  Deliver(receiver, BlockBuilder()
                        .Head(1, pcCallFrame)
                        .U8(4)
                        .Text("chat")
                        .U8(3)
                        .Text("say")
                        .U8(1)
                        .U8(3)
                        .U16(2)
                        .Text("hi")
                        .Bytes());
  Deliver(receiver, BlockBuilder().Head(2, pcEvalFrame).U8(4).Text("chat").Text("f(1);").Bytes());
  Deliver(receiver, BlockBuilder().Head(3, pcEvalParent).Text(std::string("x\0y", 3)).Bytes());
  Deliver(receiver, BlockBuilder().Head(4, pcEvalFrame).U8(0).Bytes());
  ASSERT_EQ(receiver.MessageCount(), 4u);

  TQEL_Message m;
  ASSERT_TRUE(receiver.PopMessage(m));
  EXPECT_EQ(m.ObjectName, "chat");
  EXPECT_EQ(m.Text, "say");
  EXPECT_EQ(m.Values, std::vector<TQEL_Variant>{TQEL_Variant::String("hi")});
  ASSERT_TRUE(receiver.PopMessage(m));
  EXPECT_EQ(m.ObjectName, "chat");
  EXPECT_EQ(m.Text, "f(1);");
  EXPECT_TRUE(m.Values.empty());
  ASSERT_TRUE(receiver.PopMessage(m));
  EXPECT_EQ(m.Text, std::string("x\0y", 3));
  EXPECT_EQ(m.ObjectName, "");
  ASSERT_TRUE(receiver.PopMessage(m));
  EXPECT_EQ(m.Id, 4);
  EXPECT_EQ(m.ObjectName, "");
  EXPECT_EQ(m.Text, "");
}

TEST(MsgReceiverTest, ValueCountThatDoesNotMatchTheBlockIsRefused) {
  TQEL_MsgReceiver receiver(kGame);
  // Says 2 values, carries 3.
  TOutcome more = Deliver(receiver, BlockBuilder()
                                        .Head(1, pcCallWindow)
                                        .U8(1)
                                        .Text("f")
                                        .U8(2)
                                        .U8(4)
                                        .U8(1)
                                        .U8(4)
                                        .U8(0)
                                        .U8(4)
                                        .U8(1)
                                        .Bytes());
  EXPECT_TRUE(more.Refused);
  EXPECT_EQ(more.Failure, "error param size");
  // The last value a byte short.
  TOutcome fewer = Deliver(receiver, BlockBuilder()
                                         .Head(2, pcCallWindow)
                                         .U8(1)
                                         .Text("f")
                                         .U8(2)
                                         .U8(1)
                                         .I32(5)
                                         .U8(1)
                                         .U8(0)
                                         .U8(0)
                                         .U8(0)
                                         .Bytes());
  EXPECT_TRUE(fewer.Refused);
  EXPECT_EQ(fewer.Failure, "error param size");
  // The same list in an answer.
  TOutcome answer =
      Deliver(receiver, BlockBuilder().Head(3, pcCallFrame).U8(1).U8(1).U8(1).I32(5).U8(0).Bytes(),
              kMagicAnswer);
  EXPECT_EQ(answer.Failure, "error param size");
  EXPECT_EQ(receiver.MessageCount(), 0u);
}

TEST(MsgReceiverTest, AnswersCarryTheirCodeAndValuesOnlyForSuccessfulCalls) {
  TQEL_MsgReceiver receiver(kGame);
  // Kind 3, code 1, the integer 42: 12 bytes.
  std::vector<uint8_t> twelve =
      BlockBuilder().Head(9, pcCallParent).U8(1).U8(1).U8(1).I32(42).Bytes();
  ASSERT_EQ(twelve.size(), 12u);
  Deliver(receiver, twelve, kMagicAnswer);
  TQEL_Message m = PopOne(receiver);
  EXPECT_EQ(m.Code, 1);
  EXPECT_EQ(m.Values, std::vector<TQEL_Variant>{TQEL_Variant::Integer(42)});

  // Code 0: nothing is read after it, not even what follows.
  Deliver(receiver, BlockBuilder().Head(10, pcCallParent).U8(0).Bytes(), kMagicAnswer);
  Deliver(receiver, BlockBuilder().Head(11, pcCallWindow).U8(0).U8(99).Bytes(), kMagicAnswer);
  // Evaluation answers end at the code.
  Deliver(receiver, BlockBuilder().Head(12, pcEvalFrame).U8(1).U8(200).U8(7).Bytes(), kMagicAnswer);
  ASSERT_EQ(receiver.MessageCount(), 3u);
  for (int id : {10, 11, 12}) {
    ASSERT_TRUE(receiver.PopMessage(m));
    EXPECT_EQ(m.Id, id);
    EXPECT_TRUE(m.Values.empty());
    EXPECT_EQ(m.Text, "");
  }
  EXPECT_EQ(m.Code, 1);
}

struct TBadBlock {
  const char* Name;
  std::vector<uint8_t> Bytes;
  uint32_t Magic;
  bool Refused;  // else ignored
};

TEST(MsgReceiverTest, BadBlocksQueueNothingAndNeverReadPastTheEnd) {
  const uint32_t A = kMagicRequest;
  const uint32_t P = kMagicAnswer;
  const std::vector<TBadBlock> cases = {
      {"empty request", {}, A, true},
      {"empty answer", {}, P, true},
      {"4-byte request", BlockBuilder().I32(1).Bytes(), A, true},
      {"2-byte answer", {1, 0}, P, true},
      {"answer without its code", BlockBuilder().Head(1, pcCallWindow).Bytes(), P, true},
      {"eval answer without its code", BlockBuilder().Head(1, pcEvalParent).Bytes(), P, true},
      {"call without its text length", BlockBuilder().Head(1, pcCallWindow).Bytes(), A, true},
      {"text running past the end", BlockBuilder().Head(1, pcCallWindow).U8(10).Text("abc").Bytes(),
       A, true},
      {"call without a value list", BlockBuilder().Head(1, pcCallParent).U8(1).Text("f").Bytes(), A,
       true},
      {"frame name past the end", BlockBuilder().Head(1, pcCallFrame).U8(5).Text("ab").Bytes(), A,
       true},
      {"frame call text past the end",
       BlockBuilder().Head(1, pcCallFrame).U8(1).Text("a").U8(9).Text("f").Bytes(), A, true},
      {"frame call without text length",
       BlockBuilder().Head(1, pcCallFrame).U8(1).Text("a").Bytes(), A, true},
      {"frame eval name past the end", BlockBuilder().Head(1, pcEvalFrame).U8(2).Text("a").Bytes(),
       A, true},
      {"frame eval without name length", BlockBuilder().Head(1, pcEvalFrame).Bytes(), A, true},
      {"count with no values", BlockBuilder().Head(1, pcCallWindow).U8(0).U8(255).Bytes(), A, true},
      {"value without its tag", BlockBuilder().Head(1, pcCallWindow).U8(0).U8(1).Bytes(), A, true},
      {"integer cut short", BlockBuilder().Head(1, pcCallWindow).U8(0).U8(1).U8(1).U16(7).Bytes(),
       A, true},
      {"double cut short", BlockBuilder().Head(1, pcCallWindow).U8(0).U8(1).U8(2).I32(0).Bytes(), A,
       true},
      {"boolean without its byte", BlockBuilder().Head(1, pcCallWindow).U8(0).U8(1).U8(4).Bytes(),
       A, true},
      {"string length cut short",
       BlockBuilder().Head(1, pcCallWindow).U8(0).U8(1).U8(3).U8(1).Bytes(), A, true},
      {"string past the end",
       BlockBuilder().Head(1, pcCallWindow).U8(0).U8(1).U8(3).U16(4).Text("abc").Bytes(), A, true},
      {"wide string past the end",
       BlockBuilder().Head(1, pcCallWindow).U8(0).U8(1).U8(5).U16(2).Text("abc").Bytes(), A, true},
      {"wide string length 65535",
       BlockBuilder().Head(1, pcCallWindow).U8(0).U8(1).U8(5).U16(65535).Bytes(), A, true},
      {"negative byte-array length",
       BlockBuilder().Head(1, pcCallWindow).U8(0).U8(1).U8(11).I32(-1).Bytes(), A, true},
      {"most negative byte-array length",
       BlockBuilder().Head(1, pcCallWindow).U8(0).U8(1).U8(11).I32(INT32_MIN).U8(0).Bytes(), A,
       true},
      {"byte array past the end",
       BlockBuilder().Head(1, pcCallWindow).U8(0).U8(1).U8(11).I32(3).U8(1).U8(2).Bytes(), A, true},
      {"byte-array length cut short",
       BlockBuilder().Head(1, pcCallWindow).U8(0).U8(1).U8(11).U8(1).Bytes(), A, true},
      {"answer list past the end",
       BlockBuilder().Head(1, pcCallFrame).U8(1).U8(2).U8(1).I32(1).Bytes(), P, true},
      {"answer with code 1 and no list", BlockBuilder().Head(1, pcCallWindow).U8(1).Bytes(), P,
       true},
      {"request kind 0", BlockBuilder().Head(1, 0).U8(0).U8(0).Bytes(), A, false},
      {"request kind 7", BlockBuilder().Head(1, 7).Text("anything").Bytes(), A, false},
      {"answer kind 255", BlockBuilder().Head(1, 255).U8(1).Bytes(), P, false},
      {"short block of kind 9", BlockBuilder().Head(1, 9).Bytes(), A, false},
      {"other tag", BlockBuilder().Head(1, pcEvalWindow).Bytes(), 0x584C4551, false},
      {"tag 0", BlockBuilder().Head(1, pcEvalWindow).Bytes(), 0, false},
      {"short block with other tag", {1}, 0x12345678, false},
  };
  for (const TBadBlock& bad : cases) {
    SCOPED_TRACE(bad.Name);
    TQEL_MsgReceiver receiver(kGame);
    TOutcome outcome = Deliver(receiver, bad.Bytes, bad.Magic);
    EXPECT_EQ(outcome.Refused, bad.Refused);
    if (bad.Refused) {
      EXPECT_EQ(outcome.Failure, "error param size");
    }
    EXPECT_EQ(receiver.MessageCount(), 0u);
  }
}

TEST(MsgReceiverTest, OnlyTheGamesWindowIsHeard) {
  TQEL_MsgReceiver receiver(kGame);
  std::vector<uint8_t> fine = BlockBuilder().Head(1, pcEvalWindow).Text("x()").Bytes();
  EXPECT_FALSE(Deliver(receiver, fine, kMagicRequest, kOther).Refused);
  EXPECT_FALSE(Deliver(receiver, fine, kMagicAnswer, 0).Refused);
  // Not even a bad block from elsewhere is looked at.
  EXPECT_FALSE(Deliver(receiver, std::vector<uint8_t>{1, 2}, kMagicRequest, kOther).Refused);
  EXPECT_EQ(receiver.MessageCount(), 0u);
  Deliver(receiver, fine, kMagicRequest, kGame);
  EXPECT_EQ(receiver.MessageCount(), 1u);

  // A receiver that knows no game window yet hears nobody, not even "no window".
  TQEL_MsgReceiver unknown(0);
  Deliver(unknown, fine, kMagicRequest, 0);
  EXPECT_EQ(unknown.MessageCount(), 0u);
}

TEST(MsgReceiverTest, MessagesComeOutInArrivalOrderAndOwnTheirBytes) {
  TQEL_MsgReceiver receiver(kGame);
  TQEL_Message m;
  EXPECT_FALSE(receiver.PopMessage(m));
  for (int id = 1; id <= 3; ++id) {
    ExactBlock block(BlockBuilder().Head(id, pcEvalWindow).Text("f" + std::to_string(id)).Bytes());
    receiver.HandleCopyData(kGame, kMagicRequest, block.Span());
    // The block is the platform's only while it delivers it.
    block.Data()[5] = '!';
  }
  EXPECT_EQ(receiver.MessageCount(), 3u);
  for (int id = 1; id <= 3; ++id) {
    ASSERT_TRUE(receiver.PopMessage(m));
    EXPECT_EQ(m.Id, id);
    EXPECT_EQ(m.Text, "f" + std::to_string(id));
  }
  EXPECT_FALSE(receiver.PopMessage(m));
  EXPECT_EQ(m.Id, 3);  // untouched by the failed pop
}

}  // namespace
}  // namespace qel::test
