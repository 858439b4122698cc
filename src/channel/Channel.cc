// Opening the channel, sending requests and taking replies.
#include <chrono>
#include <memory>
#include <optional>

#include "Handles.h"
#include "Status.h"
#include "msg/MsgParser.h"
#include "msg/RequestWriter.h"
#include "platform/Export.h"

namespace qel::channel {
namespace {

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

int StatusOf(TCopyDataSent sent) {
  switch (sent) {
    case TCopyDataSent::Taken:
      return QELCHANNEL_OK;
    case TCopyDataSent::NoReceiver:
      return QELCHANNEL_ERR_NO_PLUGIN;
    case TCopyDataSent::TimedOut:
      return QELCHANNEL_ERR_PLUGIN_BUSY;
    case TCopyDataSent::TooLarge:
      return QELCHANNEL_ERR_TOO_LARGE;
    case TCopyDataSent::Failed:
      break;
  }
  return QELCHANNEL_ERR_SYSTEM;
}

// The plug-in's reply in a block, or nothing for whatever else arrived: other
// senders, other tags, blocks that do not parse. The plug-in treats what it
// cannot use the same way.
std::unique_ptr<qelchannel_reply> ReplyOf(const TCopyDataBlock& block, TWindowHandle plugin) {
  if (block.Sender != plugin || block.Tag != kMagicAnswer) return nullptr;
  std::optional<TQEL_Message> message;
  try {
    message = ParseMessage(block.Tag, block.Bytes);
  } catch (const EQelError&) {
    return nullptr;
  }
  if (!message) return nullptr;
  auto reply = std::make_unique<qelchannel_reply>();
  reply->Message = std::move(*message);
  for (const TQEL_Variant& value : reply->Message.Values)
    reply->WideUnits.emplace_back(value.WStr.begin(), value.WStr.end());
  return reply;
}

}  // namespace
}  // namespace qel::channel

using namespace qel;
using namespace qel::channel;

QEL_EXPORT int qelchannel_open(uint64_t game_window, uint64_t plugin_window,
                               qelchannel** channel) {
  if (channel == nullptr) return QELCHANNEL_ERR_ARGUMENT;
  *channel = nullptr;
  if (game_window == 0 || plugin_window == 0) return QELCHANNEL_ERR_ARGUMENT;
  return Guarded([&] {
    *channel = new qelchannel{TCopyDataEndpoint(static_cast<TWindowHandle>(game_window)),
                              static_cast<TWindowHandle>(plugin_window)};
    return QELCHANNEL_OK;
  });
}

QEL_EXPORT void qelchannel_close(qelchannel* channel) { delete channel; }

QEL_EXPORT int qelchannel_fd(const qelchannel* channel) {
  return channel != nullptr ? channel->Endpoint.WaitHandle() : -1;
}

QEL_EXPORT int qelchannel_send(qelchannel* channel, const qelchannel_request* request,
                               int timeout_ms) {
  if (channel == nullptr || request == nullptr) return QELCHANNEL_ERR_ARGUMENT;
  return Guarded([&] {
    const std::vector<uint8_t> block = EncodeRequest(request->Message);
    return StatusOf(SendCopyDataTo(channel->PluginWindow, channel->Endpoint.Window(),
                                   kMagicRequest, block, timeout_ms));
  });
}

QEL_EXPORT int qelchannel_receive(qelchannel* channel, int timeout_ms, qelchannel_reply** reply) {
  if (reply != nullptr) *reply = nullptr;
  if (channel == nullptr || reply == nullptr) return QELCHANNEL_ERR_ARGUMENT;
  return Guarded([&] {
    const int64_t deadline = NowMs() + timeout_ms;
    for (;;) {
      TCopyDataBlock block;
      const TCopyDataReceipt receipt = channel->Endpoint.ReceiveOne(block);
      if (receipt == TCopyDataReceipt::Block) {
        if (std::unique_ptr<qelchannel_reply> taken = ReplyOf(block, channel->PluginWindow)) {
          *reply = taken.release();
          return QELCHANNEL_OK;
        }
      }
      if (receipt != TCopyDataReceipt::Nothing) {
        // Dropped on the way; a flood of such must not outlast the wait.
        if (timeout_ms > 0 && NowMs() >= deadline) return QELCHANNEL_TIMEOUT;
        continue;
      }
      if (timeout_ms == 0) return QELCHANNEL_TIMEOUT;
      int wait = -1;
      if (timeout_ms > 0) {
        const int64_t remaining = deadline - NowMs();
        if (remaining <= 0) return QELCHANNEL_TIMEOUT;
        wait = static_cast<int>(remaining);
      }
      if (!channel->Endpoint.WaitForDatagram(wait))
        return timeout_ms < 0 ? QELCHANNEL_ERR_SYSTEM : QELCHANNEL_TIMEOUT;
    }
  });
}
