// The plug-in thread's side of copy-data messages: an endpoint watched by
// the GLib loop.
#include "platform/CopyData.h"

#include <glib-unix.h>
#include <glib.h>

#include <utility>

#include "platform/LastResort.h"

namespace qel {
namespace {

// A listener hands at most this many blocks to its handler per turn of the
// loop, so that a flood of them cannot starve the rest of the loop.
constexpr int kMostBlocksPerTurn = 64;

}  // namespace

bool SendCopyData(TWindowHandle target, TWindowHandle sender, uint32_t tag,
                  std::span<const uint8_t> block, int timeout_ms) {
  return SendCopyDataTo(target, sender, tag, block, timeout_ms) == TCopyDataSent::Taken;
}

TCopyDataListener::TCopyDataListener(TWindowHandle window, TCopyDataHandler handler)
    : Endpoint_(window), Handler_(std::move(handler)) {
  SourceId_ = g_unix_fd_add(
      Endpoint_.WaitHandle(), G_IO_IN,
      [](gint, GIOCondition, gpointer self) -> gboolean { return OnReadable(self); }, this);
}

TCopyDataListener::~TCopyDataListener() {
  if (SourceId_ != 0) g_source_remove(SourceId_);
}

int TCopyDataListener::OnReadable(void* self) {
  // GLib holds this source until the callback returns, even when the handler
  // destroys the listener; then `self` must not be touched again.
  GSource* const source = g_main_current_source();
  auto* listener = static_cast<TCopyDataListener*>(self);
  for (int i = 0; i < kMostBlocksPerTurn; ++i) {
    TCopyDataBlock received;
    const TCopyDataReceipt receipt = listener->Endpoint_.ReceiveOne(received);
    if (receipt == TCopyDataReceipt::Nothing) break;
    if (receipt == TCopyDataReceipt::Dropped) continue;
    // A copy: the handler may destroy the listener, and with it Handler_.
    const TCopyDataHandler handler = listener->Handler_;
    try {
      if (handler) handler(received.Sender, received.Tag, received.Bytes);
    } catch (...) {
      ReportCurrentException();
    }
    if (g_source_is_destroyed(source)) return G_SOURCE_REMOVE;
  }
  return G_SOURCE_CONTINUE;
}

}  // namespace qel
