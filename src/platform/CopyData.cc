// What both systems' copy-data listeners share: the blocks' way to the
// handler, and sending when only success matters.
#include "platform/CopyData.h"

#include "platform/LastResort.h"

namespace qel {

bool SendCopyData(TWindowHandle target, TWindowHandle sender, uint32_t tag,
                  std::span<const uint8_t> block, int timeout_ms) {
  return SendCopyDataTo(target, sender, tag, block, timeout_ms) == TCopyDataSent::Taken;
}

void TCopyDataListener::Deliver(TCopyDataBlock& received) {
  // A copy: the handler may destroy the listener, and with it Handler_.
  const TCopyDataHandler handler = Handler_;
  try {
    if (handler) handler(received.Sender, received.Tag, received.Bytes);
  } catch (...) {
    ReportCurrentException();
  }
}

}  // namespace qel
