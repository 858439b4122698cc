// The plug-in thread's side of copy-data messages: an endpoint watched by
// the GLib loop.
#include "platform/CopyData.h"

#include <glib-unix.h>
#include <glib.h>

#include <utility>


namespace qel {
namespace {

// A listener hands at most this many blocks to its handler per turn of the
// loop, so that a flood of them cannot starve the rest of the loop.
constexpr int kMostBlocksPerTurn = 64;

}  // namespace

// The window's endpoint, watched by the loop.
struct TCopyDataListener::TReception {
  TReception(TCopyDataListener* listener, TWindowHandle window)
      : Endpoint(window),
        SourceId(g_unix_fd_add(Endpoint.WaitHandle(), G_IO_IN, &TReception::OnReadable, listener)) {}
  ~TReception() { g_source_remove(SourceId); }
  TReception(const TReception&) = delete;
  TReception& operator=(const TReception&) = delete;

  static gboolean OnReadable(gint, GIOCondition, gpointer self) {
    // GLib holds this source until the callback returns, even when the
    // handler destroys the listener; then `self` must not be touched again.
    GSource* const source = g_main_current_source();
    auto* listener = static_cast<TCopyDataListener*>(self);
    for (int i = 0; i < kMostBlocksPerTurn; ++i) {
      TCopyDataBlock received;
      const TCopyDataReceipt receipt = listener->Reception_->Endpoint.ReceiveOne(received);
      if (receipt == TCopyDataReceipt::Nothing) break;
      if (receipt == TCopyDataReceipt::Dropped) continue;
      listener->Deliver(received);
      if (g_source_is_destroyed(source)) return G_SOURCE_REMOVE;
    }
    return G_SOURCE_CONTINUE;
  }

  TCopyDataEndpoint Endpoint;
  guint SourceId;
};

TCopyDataListener::TCopyDataListener(TWindowHandle window, TCopyDataHandler handler)
    : Window_(window),
      Handler_(std::move(handler)),
      Reception_(std::make_unique<TReception>(this, window)) {}

TCopyDataListener::~TCopyDataListener() = default;

}  // namespace qel
