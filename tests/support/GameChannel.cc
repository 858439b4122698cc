#include "GameChannel.h"

#include <string>
#include <vector>

#include "platform/CopyData.h"
#include "platform/Error.h"
#include "platform/Loop.h"

namespace qel::test {
namespace {

int AddValue(qelchannel_request* request, const TQEL_Variant& value) {
  switch (value.Tag) {
    case kTagEmpty:
      return qelchannel_request_add_empty(request);
    case kTagInteger:
      return qelchannel_request_add_int(request, value.AsInteger());
    case kTagDouble:
      return qelchannel_request_add_double(request, value.AsDouble());
    case kTagString:
      return qelchannel_request_add_string(request, value.Str.data(), value.Str.size());
    case kTagBoolean:
      return qelchannel_request_add_bool(request, value.AsBoolean());
    case kTagWideString: {
      const std::vector<uint16_t> units(value.WStr.begin(), value.WStr.end());
      return qelchannel_request_add_wstring(request, units.data(), units.size());
    }
    case kTagBytes:
      return qelchannel_request_add_bytes(request, value.Bytes.data(), value.Bytes.size());
    default:
      return QELCHANNEL_ERR_ARGUMENT;
  }
}

TQEL_Variant ValueOfReply(const qelchannel_reply* reply, int index) {
  switch (qelchannel_reply_type(reply, index)) {
    case QELCHANNEL_VALUE_INT: {
      int32_t value = 0;
      qelchannel_reply_int(reply, index, &value);
      return TQEL_Variant::Integer(value);
    }
    case QELCHANNEL_VALUE_DOUBLE: {
      double value = 0;
      qelchannel_reply_double(reply, index, &value);
      return TQEL_Variant::Double(value);
    }
    case QELCHANNEL_VALUE_STRING: {
      const char* bytes = nullptr;
      size_t length = 0;
      qelchannel_reply_string(reply, index, &bytes, &length);
      return TQEL_Variant::String(std::string(bytes, length));
    }
    case QELCHANNEL_VALUE_BOOL: {
      int value = 0;
      qelchannel_reply_bool(reply, index, &value);
      return TQEL_Variant::Boolean(value != 0);
    }
    case QELCHANNEL_VALUE_WSTRING: {
      const uint16_t* units = nullptr;
      size_t count = 0;
      qelchannel_reply_wstring(reply, index, &units, &count);
      return TQEL_Variant::WideString(std::u16string(units, units + count));
    }
    case QELCHANNEL_VALUE_BYTES: {
      const uint8_t* bytes = nullptr;
      size_t length = 0;
      qelchannel_reply_bytes(reply, index, &bytes, &length);
      return TQEL_Variant::ByteArray(TByteArrayParam(bytes, bytes + length));
    }
    default:
      return TQEL_Variant::Empty();
  }
}

}  // namespace

TQEL_Message PageCallRequest(int32_t id, uint8_t kind, std::string text, std::string frame,
                             std::vector<TQEL_Variant> values) {
  TQEL_Message request;
  request.Id = id;
  request.Kind = kind;
  request.Text = std::move(text);
  request.ObjectName = std::move(frame);
  request.Values = std::move(values);
  return request;
}

qelchannel_request* NewChannelRequest(const TQEL_Message& message) {
  qelchannel_request* request = nullptr;
  if (qelchannel_request_new(message.Id, message.Kind, message.Text.c_str(),
                             message.ObjectName.c_str(), &request) != QELCHANNEL_OK)
    return nullptr;
  for (const TQEL_Variant& value : message.Values) {
    if (AddValue(request, value) != QELCHANNEL_OK) {
      qelchannel_request_free(request);
      return nullptr;
    }
  }
  return request;
}

TQEL_Message MessageOfReply(const qelchannel_reply* reply) {
  TQEL_Message message;
  message.Id = qelchannel_reply_id(reply);
  message.Kind = static_cast<uint8_t>(qelchannel_reply_kind(reply));
  message.Code = static_cast<uint8_t>(qelchannel_reply_code(reply));
  for (int i = 0; i < qelchannel_reply_count(reply); ++i)
    message.Values.push_back(ValueOfReply(reply, i));
  return message;
}

GameChannelClient::GameChannelClient(TWindowHandle game_window, TWindowHandle plugin_window)
    : GameWindow_(game_window), PluginWindow_(plugin_window) {
  const int status = qelchannel_open(game_window, plugin_window, &Channel_);
  if (status != QELCHANNEL_OK)
    throw EQelError(std::string("Cannot open the game channel: ") + qelchannel_status_text(status));
}

GameChannelClient::~GameChannelClient() { qelchannel_close(Channel_); }

bool GameChannelClient::Send(const TQEL_Message& request, int timeout_ms) {
  qelchannel_request* built = NewChannelRequest(request);
  if (built == nullptr) return false;
  const int status = qelchannel_send(Channel_, built, timeout_ms);
  qelchannel_request_free(built);
  return status == QELCHANNEL_OK;
}

bool GameChannelClient::SendBlock(uint32_t tag, std::span<const uint8_t> block, int timeout_ms) {
  return SendCopyData(PluginWindow_, GameWindow_, tag, block, timeout_ms);
}

void GameChannelClient::Collect() {
  qelchannel_reply* reply = nullptr;
  while (qelchannel_receive(Channel_, 0, &reply) == QELCHANNEL_OK) {
    Answers_.push_back(MessageOfReply(reply));
    qelchannel_reply_free(reply);
  }
}

std::optional<TQEL_Message> GameChannelClient::WaitForAnswer(int timeout_ms) {
  if (!RunLoopUntil([this] { return PendingAnswers() > 0; }, timeout_ms)) return std::nullopt;
  TQEL_Message answer = std::move(Answers_.front());
  Answers_.pop_front();
  return answer;
}

size_t GameChannelClient::PendingAnswers() {
  Collect();
  return Answers_.size();
}

}  // namespace qel::test
