#include "PageGreeting.h"

#include <cstdio>
#include <string_view>

#include "ClientFiles.h"

namespace sample {
namespace {

constexpr auto kReplyPatience = std::chrono::seconds(10);
constexpr int32_t kGreetingId = 1;

void AppendUtf8(std::string& out, uint32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | code >> 6);
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | code >> 12);
    out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | code >> 18);
    out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// A reply value as text: numbers in decimal, booleans as true/false, wide
// strings in UTF-8, 8-bit strings as they came.
std::string ValueText(const qelchannel_reply* reply, int index) {
  switch (qelchannel_reply_type(reply, index)) {
    case QELCHANNEL_VALUE_INT: {
      int32_t value = 0;
      qelchannel_reply_int(reply, index, &value);
      return std::to_string(value);
    }
    case QELCHANNEL_VALUE_DOUBLE: {
      double value = 0;
      qelchannel_reply_double(reply, index, &value);
      char text[32];
      std::snprintf(text, sizeof text, "%.17g", value);
      return text;
    }
    case QELCHANNEL_VALUE_STRING: {
      const char* bytes = nullptr;
      size_t length = 0;
      qelchannel_reply_string(reply, index, &bytes, &length);
      return std::string(bytes, length);
    }
    case QELCHANNEL_VALUE_BOOL: {
      int value = 0;
      qelchannel_reply_bool(reply, index, &value);
      return value != 0 ? "true" : "false";
    }
    case QELCHANNEL_VALUE_WSTRING: {
      const uint16_t* units = nullptr;
      size_t count = 0;
      qelchannel_reply_wstring(reply, index, &units, &count);
      std::string text;
      for (size_t i = 0; i < count; ++i) {
        uint32_t code = units[i];
        if (code >= 0xD800 && code < 0xDC00 && i + 1 < count && units[i + 1] >= 0xDC00 && units[i + 1] < 0xE000)
          code = 0x10000 + ((code - 0xD800) << 10) + (units[++i] - 0xDC00);
        AppendUtf8(text, code);
      }
      return text;
    }
    default:
      return {};
  }
}

}  // namespace

void TPageGreeting::Ask(uint64_t game_window, uint64_t plugin_window) {
  if (Answered_) return;
  GiveUp();
  if (qelchannel_open(game_window, plugin_window, &Channel_) != QELCHANNEL_OK) return;
  qelchannel_request* request = nullptr;
  bool sent = false;
  if (qelchannel_request_new(kGreetingId, QELCHANNEL_CALL_WINDOW, "qelGameSays", nullptr, &request) == QELCHANNEL_OK) {
    static constexpr std::string_view kHello = "Hello from the sample game";
    sent = qelchannel_request_add_string(request, kHello.data(), kHello.size()) == QELCHANNEL_OK &&
           qelchannel_request_add_int(request, 42) == QELCHANNEL_OK &&
           qelchannel_send(Channel_, request, 1000) == QELCHANNEL_OK;
  }
  qelchannel_request_free(request);
  if (!sent) return GiveUp();
  Deadline_ = std::chrono::steady_clock::now() + kReplyPatience;
}

int TPageGreeting::RemainingMs() const {
  if (Channel_ == nullptr) return -1;
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(Deadline_ - std::chrono::steady_clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

bool TPageGreeting::TakeReply() {
  if (Channel_ == nullptr) return false;
  qelchannel_reply* reply = nullptr;
  if (qelchannel_receive(Channel_, 0, &reply) != QELCHANNEL_OK) {
    if (RemainingMs() == 0) GiveUp();
    return false;
  }
  const bool ours = qelchannel_reply_id(reply) == kGreetingId;
  if (ours) Record(reply);
  qelchannel_reply_free(reply);
  if (ours) GiveUp();
  return ours;
}

void TPageGreeting::Record(const qelchannel_reply* reply) {
  Answered_ = true;
  std::string content = "code=" + std::to_string(qelchannel_reply_code(reply)) + "\n";
  if (qelchannel_reply_count(reply) > 0) {
    const std::string value = ValueText(reply, 0);
    content += "value=" + value + "\n";
    PageSays_ = "Page says: " + value;
  } else {
    PageSays_ = "Page says nothing (code " + std::to_string(qelchannel_reply_code(reply)) + ")";
  }
  WriteWhole("page-reply.txt", content);
}

void TPageGreeting::GiveUp() {
  qelchannel_close(Channel_);
  Channel_ = nullptr;
}

}  // namespace sample
