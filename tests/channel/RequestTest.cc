// Requests built with the library, as the plug-in's receiver reads them.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "CopyDataSizes.h"
#include "GameChannel.h"
#include "PluginSide.h"
#include "msg/PageCallKind.h"
#include "msg/RequestWriter.h"

namespace qel::test {
namespace {

using RequestTest = PluginSideTest;

TEST_F(RequestTest, EveryKindArrivesWithItsFieldsInOrder) {
  const std::vector<TQEL_Message> requests = {
      PageCallRequest(1, pcCallWindow, "qelGameSays",
              {}, {TQEL_Variant::String("Hello"), TQEL_Variant::Integer(42)}),
      PageCallRequest(-2, pcEvalWindow, "document.title = 'x y'"),
      PageCallRequest(0x7FFFFFFF, pcCallParent, "inParent"),
      PageCallRequest(4, pcEvalParent, ""),
      PageCallRequest(5, pcCallFrame, "post", "chat", {TQEL_Variant::Boolean(true)}),
      PageCallRequest(std::numeric_limits<int32_t>::min(), pcEvalFrame, "1 + 1", "chat"),
  };
  for (const TQEL_Message& m : requests) {
    qelchannel_request* request = NewChannelRequest(m);
    ASSERT_NE(request, nullptr);
    EXPECT_EQ(qelchannel_send(channel, request, 1000), QELCHANNEL_OK);
    qelchannel_request_free(request);
  }
  for (const TQEL_Message& m : requests) {
    std::optional<TQEL_Message> got = NextRequest();
    ASSERT_TRUE(got);
    EXPECT_EQ(*got, m) << "kind " << int{m.Kind};
  }
  EXPECT_TRUE(refusals.empty());
}

TEST_F(RequestTest, FrameIdIsSentOnlyForTheFrameKinds) {
  qelchannel_request* request = nullptr;
  ASSERT_EQ(qelchannel_request_new(9, QELCHANNEL_CALL_WINDOW, "f", "ignored", &request),
            QELCHANNEL_OK);
  ASSERT_EQ(qelchannel_send(channel, request, 1000), QELCHANNEL_OK);
  qelchannel_request_free(request);
  std::optional<TQEL_Message> got = NextRequest();
  ASSERT_TRUE(got);
  EXPECT_EQ(*got, PageCallRequest(9, pcCallWindow, "f"));
}

TEST_F(RequestTest, EveryValueTypeReachesThePlugin) {
  double nan;
  const uint64_t nan_bits = 0x7FF800000000BEEFull;  // a payload that must survive
  std::memcpy(&nan, &nan_bits, sizeof nan);
  const std::vector<TQEL_Variant> values = {
      TQEL_Variant::Empty(),
      TQEL_Variant::Integer(std::numeric_limits<int32_t>::min()),
      TQEL_Variant::Integer(-1),
      TQEL_Variant::Double(-0.5),
      TQEL_Variant::Double(1e300),
      TQEL_Variant::Double(nan),
      TQEL_Variant::String(std::string("a\0\xFF", 3)),
      TQEL_Variant::String(""),
      TQEL_Variant::Boolean(true),
      TQEL_Variant::Boolean(false),
      TQEL_Variant::WideString(u"\u00E4\U0001F600"),
      TQEL_Variant::WideString(u""),
      TQEL_Variant::ByteArray({0, 255, 7}),
  };
  for (uint8_t kind : {pcCallWindow, pcCallParent, pcCallFrame}) {
    const TQEL_Message m = PageCallRequest(kind, kind, "f", kind == pcCallFrame ? "frame" : "", values);
    std::optional<TQEL_Message> got = RoundTrip(m);
    ASSERT_TRUE(got);
    EXPECT_EQ(*got, m) << "kind " << int{kind};
  }
}

TEST_F(RequestTest, TheMostTheFormatCarriesArrivesWhole) {
  // A block larger than every size at which the transport changes how it
  // carries one (on Linux: in a memory file rather than in the datagram).
  std::vector<TQEL_Variant> values(255, TQEL_Variant::Integer(3));
  values[0] = TQEL_Variant::String(std::string(65535, 's'));
  values[1] = TQEL_Variant::WideString(std::u16string(65535, u'\u20AC'));
  const TQEL_Message call = PageCallRequest(1, pcCallFrame, std::string(255, 'n'), std::string(255, 'f'), values);
  for (size_t boundary : CopyDataBoundaries()) ASSERT_GT(EncodeRequest(call).size(), boundary);
  std::optional<TQEL_Message> got = RoundTrip(call);
  ASSERT_TRUE(got);
  EXPECT_TRUE(*got == call);

  const TQEL_Message eval = PageCallRequest(2, pcEvalWindow, std::string(3 << 20, 'e'));
  got = RoundTrip(eval);
  ASSERT_TRUE(got);
  EXPECT_TRUE(*got == eval);
}

TEST_F(RequestTest, WhatTheFormatCannotCarryIsRefusedWhenBuilt) {
  qelchannel_request* r = reinterpret_cast<qelchannel_request*>(1);
  for (int kind : {0, 7, -1, 257}) {
    EXPECT_EQ(qelchannel_request_new(1, kind, "f", "", &r), QELCHANNEL_ERR_ARGUMENT) << kind;
    EXPECT_EQ(r, nullptr);
  }
  EXPECT_EQ(qelchannel_request_new(1, QELCHANNEL_CALL_WINDOW, nullptr, "", &r),
            QELCHANNEL_ERR_ARGUMENT);
  EXPECT_EQ(qelchannel_request_new(1, QELCHANNEL_EVAL_FRAME, "x", nullptr, &r),
            QELCHANNEL_ERR_ARGUMENT);
  EXPECT_EQ(qelchannel_request_new(1, QELCHANNEL_CALL_WINDOW, "f", "", nullptr),
            QELCHANNEL_ERR_ARGUMENT);
  // Names stand behind a length byte; script text runs to the block's end.
  const std::string long_name(256, 'n');
  EXPECT_EQ(qelchannel_request_new(1, QELCHANNEL_CALL_PARENT, long_name.c_str(), "", &r),
            QELCHANNEL_ERR_TOO_LARGE);
  EXPECT_EQ(qelchannel_request_new(1, QELCHANNEL_EVAL_FRAME, "x", long_name.c_str(), &r),
            QELCHANNEL_ERR_TOO_LARGE);
  ASSERT_EQ(qelchannel_request_new(1, QELCHANNEL_EVAL_PARENT, long_name.c_str(), "", &r),
            QELCHANNEL_OK);
  // Evaluations take no values.
  EXPECT_EQ(qelchannel_request_add_int(r, 1), QELCHANNEL_ERR_ARGUMENT);
  qelchannel_request_free(r);

  ASSERT_EQ(qelchannel_request_new(1, QELCHANNEL_CALL_WINDOW, "f", nullptr, &r), QELCHANNEL_OK);
  const std::vector<char> text(65536, 't');
  const std::vector<uint16_t> units(65536, 'u');
  EXPECT_EQ(qelchannel_request_add_string(r, text.data(), 65536), QELCHANNEL_ERR_TOO_LARGE);
  EXPECT_EQ(qelchannel_request_add_wstring(r, units.data(), 65536), QELCHANNEL_ERR_TOO_LARGE);
  EXPECT_EQ(qelchannel_request_add_string(r, nullptr, 1), QELCHANNEL_ERR_ARGUMENT);
  EXPECT_EQ(qelchannel_request_add_wstring(r, nullptr, 1), QELCHANNEL_ERR_ARGUMENT);
  EXPECT_EQ(qelchannel_request_add_bytes(r, nullptr, 1), QELCHANNEL_ERR_ARGUMENT);
  EXPECT_EQ(qelchannel_request_add_string(r, nullptr, 0), QELCHANNEL_OK);
  for (int i = 1; i < 255; ++i) ASSERT_EQ(qelchannel_request_add_bool(r, i % 2), QELCHANNEL_OK);
  EXPECT_EQ(qelchannel_request_add_empty(r), QELCHANNEL_ERR_TOO_LARGE);
  // What was refused left the request as it was: 255 values arrive.
  ASSERT_EQ(qelchannel_send(channel, r, 1000), QELCHANNEL_OK);
  qelchannel_request_free(r);
  std::optional<TQEL_Message> got = NextRequest();
  ASSERT_TRUE(got);
  ASSERT_EQ(got->Values.size(), 255u);
  EXPECT_EQ(got->Values[0], TQEL_Variant::String(""));
  EXPECT_EQ(got->Values[254], TQEL_Variant::Boolean(false));

  EXPECT_EQ(qelchannel_request_add_int(nullptr, 1), QELCHANNEL_ERR_ARGUMENT);
  EXPECT_EQ(qelchannel_send(nullptr, nullptr, 0), QELCHANNEL_ERR_ARGUMENT);
  EXPECT_EQ(qelchannel_send(channel, nullptr, 0), QELCHANNEL_ERR_ARGUMENT);
  qelchannel_request_free(nullptr);
  EXPECT_TRUE(refusals.empty());
}

}  // namespace
}  // namespace qel::test
