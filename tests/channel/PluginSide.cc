#include "PluginSide.h"

#include "GameChannel.h"
#include "platform/Error.h"
#include "platform/Loop.h"

namespace qel::test {

PluginSideTest::PluginSideTest()
    : listener(std::make_unique<TCopyDataListener>(
          plugin, [this](TWindowHandle from, uint32_t tag, std::span<const uint8_t> block) {
            try {
              receiver.HandleCopyData(from, tag, block);
            } catch (const EQelError& failure) {
              refusals.push_back(failure.what());
            }
          })) {
  const int status = qelchannel_open(game, plugin, &channel);
  if (status != QELCHANNEL_OK) ADD_FAILURE() << qelchannel_status_text(status);
}

PluginSideTest::~PluginSideTest() {
  for (qelchannel_reply* reply : replies_) qelchannel_reply_free(reply);
  qelchannel_close(channel);
}

std::optional<TQEL_Message> PluginSideTest::NextRequest() {
  if (!RunLoopUntil([this] { return receiver.MessageCount() > 0; }, kPatienceMs))
    return std::nullopt;
  TQEL_Message message;
  receiver.PopMessage(message);
  return message;
}

std::optional<TQEL_Message> PluginSideTest::RoundTrip(const TQEL_Message& message) {
  qelchannel_request* request = NewChannelRequest(message);
  if (request == nullptr) {
    ADD_FAILURE() << "the library refused the request";
    return std::nullopt;
  }
  const int status = qelchannel_send(channel, request, 1000);
  qelchannel_request_free(request);
  if (status != QELCHANNEL_OK) {
    ADD_FAILURE() << qelchannel_status_text(status);
    return std::nullopt;
  }
  return NextRequest();
}

qelchannel_reply* PluginSideTest::NextReply(int timeout_ms) {
  qelchannel_reply* reply = nullptr;
  if (qelchannel_receive(channel, timeout_ms, &reply) != QELCHANNEL_OK) return nullptr;
  replies_.push_back(reply);
  return reply;
}

}  // namespace qel::test
