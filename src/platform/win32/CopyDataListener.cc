// The plug-in thread's side of copy-data messages: an inbox whose blocks are
// handed out from the thread's loop, through a message the inbox posts to
// its own window.
#include "platform/CopyData.h"

#include <utility>

#include "platform/win32/CopyDataInbox.h"

namespace qel {
namespace {

// A listener hands at most this many blocks to its handler per message, so
// that a flood of them cannot starve the rest of the loop.
constexpr int kMostBlocksPerTurn = 64;

}  // namespace

struct TCopyDataListener::TReception final : TCopyDataInboxOwner {
  TReception(TCopyDataListener& listener, TWindowHandle window) : Listener(listener), Inbox(window, this) {}
  ~TReception() {
    if (DestroyedDuringDelivery != nullptr) *DestroyedDuringDelivery = true;
  }
  TReception(const TReception&) = delete;
  TReception& operator=(const TReception&) = delete;

  void BlockQueued() override {
    if (!WakePending) WakePending = Inbox.PostWake();
  }

  void Woken() override {
    WakePending = false;
    // A handler that runs a loop of its own brings the next message here
    // too; the delivery under way takes those blocks, in order.
    if (DestroyedDuringDelivery != nullptr) return;
    bool destroyed = false;
    DestroyedDuringDelivery = &destroyed;
    for (int i = 0; i < kMostBlocksPerTurn; ++i) {
      TCopyDataBlock received;
      if (!Inbox.TakeOne(received)) break;
      Listener.Deliver(received);
      if (destroyed) return;  // the handler destroyed the listener
    }
    DestroyedDuringDelivery = nullptr;
    if (!Inbox.Empty()) BlockQueued();
  }

  TCopyDataListener& Listener;
  TCopyDataInbox Inbox;
  bool WakePending = false;
  bool* DestroyedDuringDelivery = nullptr;  // while blocks are handed out
};

TCopyDataListener::TCopyDataListener(TWindowHandle window, TCopyDataHandler handler)
    : Window_(window), Handler_(std::move(handler)), Reception_(std::make_unique<TReception>(*this, window)) {}

TCopyDataListener::~TCopyDataListener() = default;

}  // namespace qel
