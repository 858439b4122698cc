// Replies of the plug-in's sender as the library hands them to the game, and
// what the library makes of everything else that reaches the game's window.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "GameChannel.h"
#include "PluginSide.h"
#include "msg/PageCallKind.h"
#include "msg/RequestWriter.h"

namespace qel::test {
namespace {

using ReplyTest = PluginSideTest;

TEST_F(ReplyTest, EveryValueTypeComesBackReadableByType) {
  const std::vector<TQEL_Variant> values = {
      TQEL_Variant::Integer(-42),         TQEL_Variant::Double(2.5),
      TQEL_Variant::String("Gr\xFC\xDF"), TQEL_Variant::Boolean(true),
      TQEL_Variant::WideString(u"\u4E2D\U0001F600"), TQEL_Variant::ByteArray({0, 1, 255}),
  };
  sender.SendReplyWithValues(pcCallParent, 1, values, 77);
  qelchannel_reply* reply = NextReply();
  ASSERT_NE(reply, nullptr);
  EXPECT_EQ(qelchannel_reply_id(reply), 77);
  EXPECT_EQ(qelchannel_reply_kind(reply), QELCHANNEL_CALL_PARENT);
  EXPECT_EQ(qelchannel_reply_code(reply), 1);
  ASSERT_EQ(qelchannel_reply_count(reply), 6);
  const int types[] = {QELCHANNEL_VALUE_INT,  QELCHANNEL_VALUE_DOUBLE,  QELCHANNEL_VALUE_STRING,
                       QELCHANNEL_VALUE_BOOL, QELCHANNEL_VALUE_WSTRING, QELCHANNEL_VALUE_BYTES};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(qelchannel_reply_type(reply, i), types[i]) << i;

  int32_t integer = 0;
  EXPECT_EQ(qelchannel_reply_int(reply, 0, &integer), QELCHANNEL_OK);
  EXPECT_EQ(integer, -42);
  double number = 0;
  EXPECT_EQ(qelchannel_reply_double(reply, 1, &number), QELCHANNEL_OK);
  EXPECT_EQ(number, 2.5);
  const char* text = nullptr;
  size_t length = 0;
  EXPECT_EQ(qelchannel_reply_string(reply, 2, &text, &length), QELCHANNEL_OK);
  EXPECT_EQ(std::string(text, length), "Gr\xFC\xDF");
  EXPECT_EQ(text[length], '\0');
  int flag = 0;
  EXPECT_EQ(qelchannel_reply_bool(reply, 3, &flag), QELCHANNEL_OK);
  EXPECT_EQ(flag, 1);
  const uint16_t* units = nullptr;
  size_t count = 0;
  EXPECT_EQ(qelchannel_reply_wstring(reply, 4, &units, &count), QELCHANNEL_OK);
  EXPECT_EQ(std::vector<uint16_t>(units, units + count),
            (std::vector<uint16_t>{0x4E2D, 0xD83D, 0xDE00}));
  const uint8_t* bytes = nullptr;
  EXPECT_EQ(qelchannel_reply_bytes(reply, 5, &bytes, &length), QELCHANNEL_OK);
  EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + length), (std::vector<uint8_t>{0, 1, 255}));

  // Read as another type, or out of range, or into nothing.
  EXPECT_EQ(qelchannel_reply_int(reply, 1, &integer), QELCHANNEL_ERR_WRONG_TYPE);
  EXPECT_EQ(qelchannel_reply_string(reply, 4, &text, &length), QELCHANNEL_ERR_WRONG_TYPE);
  EXPECT_EQ(qelchannel_reply_bool(reply, 0, &flag), QELCHANNEL_ERR_WRONG_TYPE);
  EXPECT_EQ(integer, -42);
  EXPECT_EQ(qelchannel_reply_int(reply, 6, &integer), QELCHANNEL_ERR_ARGUMENT);
  EXPECT_EQ(qelchannel_reply_double(reply, -1, &number), QELCHANNEL_ERR_ARGUMENT);
  EXPECT_EQ(qelchannel_reply_type(reply, 6), QELCHANNEL_ERR_ARGUMENT);
  EXPECT_EQ(qelchannel_reply_int(reply, 0, nullptr), QELCHANNEL_ERR_ARGUMENT);
  EXPECT_EQ(qelchannel_reply_wstring(reply, 4, &units, nullptr), QELCHANNEL_ERR_ARGUMENT);
  EXPECT_EQ(qelchannel_reply_int(nullptr, 0, &integer), QELCHANNEL_ERR_ARGUMENT);
  EXPECT_EQ(qelchannel_reply_count(nullptr), -1);
  EXPECT_EQ(qelchannel_reply_kind(nullptr), -1);
}

TEST_F(ReplyTest, ALargeReplyTravelsInAMemoryFile) {
  std::vector<uint8_t> large(3 << 20);
  for (size_t i = 0; i < large.size(); ++i) large[i] = static_cast<uint8_t>(i % 251);
  const std::vector<TQEL_Variant> values = {TQEL_Variant::ByteArray(large),
                                            TQEL_Variant::String(std::string(65535, 'q'))};
  sender.SendReplyWithValues(pcCallWindow, 1, values, 1);
  qelchannel_reply* reply = NextReply();
  ASSERT_NE(reply, nullptr);
  EXPECT_TRUE(MessageOfReply(reply).Values == values);
}

TEST_F(ReplyTest, OnlyWellFormedRepliesOfThePluginWindowAreTaken) {
  qelchannel_reply* reply = reinterpret_cast<qelchannel_reply*>(1);
  EXPECT_EQ(qelchannel_receive(channel, 0, &reply), QELCHANNEL_TIMEOUT);
  EXPECT_EQ(reply, nullptr);

  TQEL_MsgSender stranger(game, UniqueWindow());
  stranger.SendReply(pcEvalWindow, 1, 100);
  // From the plug-in's window, but a request, a kind outside 1..6, a value
  // list one byte short, a block too short for its code.
  const std::vector<uint8_t> request = EncodeRequest([] {
    TQEL_Message m;
    m.Id = 101;
    m.Kind = pcEvalWindow;
    return m;
  }());
  ASSERT_TRUE(SendCopyData(game, plugin, kMagicRequest, request, 1000));
  const std::vector<uint8_t> foreign_kind = {102, 0, 0, 0, 7, 1};
  ASSERT_TRUE(SendCopyData(game, plugin, kMagicAnswer, foreign_kind, 1000));
  const std::vector<uint8_t> short_list = {103, 0, 0, 0, pcCallWindow, 1, 1, 1, 42, 0, 0};
  ASSERT_TRUE(SendCopyData(game, plugin, kMagicAnswer, short_list, 1000));
  const std::vector<uint8_t> no_code = {104, 0, 0, 0, pcEvalWindow};
  ASSERT_TRUE(SendCopyData(game, plugin, kMagicAnswer, no_code, 1000));
  sender.SendReply(pcEvalWindow, 1, 105);

  reply = NextReply();
  ASSERT_NE(reply, nullptr);
  EXPECT_EQ(qelchannel_reply_id(reply), 105);
  EXPECT_EQ(NextReply(0), nullptr);
}

TEST_F(ReplyTest, WaitingEndsWithTheTimeOrWithAReply) {
  qelchannel_reply* reply = nullptr;
  EXPECT_EQ(qelchannel_receive(channel, 30, &reply), QELCHANNEL_TIMEOUT);
  EXPECT_EQ(reply, nullptr);
  sender.SendReply(pcEvalParent, 0, 8);
  EXPECT_EQ(qelchannel_receive(channel, -1, &reply), QELCHANNEL_OK);
  EXPECT_EQ(qelchannel_reply_id(reply), 8);
  qelchannel_reply_free(reply);
  EXPECT_EQ(qelchannel_receive(nullptr, 0, &reply), QELCHANNEL_ERR_ARGUMENT);
  EXPECT_EQ(qelchannel_receive(channel, 0, nullptr), QELCHANNEL_ERR_ARGUMENT);
}

TEST_F(ReplyTest, ARequestNobodyTakesIsAnError) {
  qelchannel_request* request = nullptr;
  ASSERT_EQ(qelchannel_request_new(1, QELCHANNEL_EVAL_WINDOW, "x", nullptr, &request),
            QELCHANNEL_OK);
  ASSERT_EQ(qelchannel_send(channel, request, 1000), QELCHANNEL_OK);
  // Once its window has gone, nobody listens.
  listener.reset();
  EXPECT_EQ(qelchannel_send(channel, request, 1000), QELCHANNEL_ERR_NO_PLUGIN);
  // Nor on a window that never had a plug-in.
  qelchannel* elsewhere = nullptr;
  ASSERT_EQ(qelchannel_open(UniqueWindow(), UniqueWindow(), &elsewhere), QELCHANNEL_OK);
  EXPECT_EQ(qelchannel_send(elsewhere, request, 1000), QELCHANNEL_ERR_NO_PLUGIN);
  qelchannel_close(elsewhere);
  qelchannel_request_free(request);
}

TEST_F(ReplyTest, AGameWindowHasOneChannelAtATime) {
  qelchannel* second = reinterpret_cast<qelchannel*>(1);
  EXPECT_EQ(qelchannel_open(game, plugin, &second), QELCHANNEL_ERR_IN_USE);
  EXPECT_EQ(second, nullptr);
  EXPECT_EQ(qelchannel_open(0, plugin, &second), QELCHANNEL_ERR_ARGUMENT);
  EXPECT_EQ(qelchannel_open(game, 0, &second), QELCHANNEL_ERR_ARGUMENT);
  EXPECT_EQ(qelchannel_open(game, plugin, nullptr), QELCHANNEL_ERR_ARGUMENT);
  EXPECT_GE(qelchannel_fd(channel), 0);
  EXPECT_EQ(qelchannel_fd(nullptr), -1);

  qelchannel_close(channel);
  channel = nullptr;
  ASSERT_EQ(qelchannel_open(game, plugin, &channel), QELCHANNEL_OK);
  sender.SendReply(pcEvalWindow, 1, 3);
  qelchannel_reply* reply = NextReply();
  ASSERT_NE(reply, nullptr);
  EXPECT_EQ(qelchannel_reply_id(reply), 3);
}

}  // namespace
}  // namespace qel::test
