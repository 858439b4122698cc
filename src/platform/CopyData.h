// Copy-data messages: a block of bytes with a 32-bit tag, sent from one
// window to a window of another process (or the same one), naming the
// sender's window. A window that wants them keeps a listener, which hands
// each block to its handler on the plug-in thread's loop.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>

#include "platform/CopyDataEndpoint.h"
#include "platform/WindowHandle.h"

namespace qel {

// SendCopyDataTo when only success matters: false when nobody listens for
// the window, the time ran out or the block is too large.
bool SendCopyData(TWindowHandle target, TWindowHandle sender, uint32_t tag,
                  std::span<const uint8_t> block, int timeout_ms);

// The block is valid during the call only.
using TCopyDataHandler =
    std::function<void(TWindowHandle sender, uint32_t tag, std::span<const uint8_t> block)>;

// Receives the blocks addressed to one window, in the order they were sent,
// from processes of the same user only. Blocks that do not arrive whole and
// well-formed are dropped. A failure that escapes the handler goes to the
// last-resort handler and reception goes on; the handler may destroy the
// listener.
class TCopyDataListener {
 public:
  // Fails (EQelError) for window 0 or when the window already has a listener.
  TCopyDataListener(TWindowHandle window, TCopyDataHandler handler);
  ~TCopyDataListener();
  TCopyDataListener(const TCopyDataListener&) = delete;
  TCopyDataListener& operator=(const TCopyDataListener&) = delete;

  TWindowHandle Window() const { return Window_; }

  // How blocks reach the plug-in thread; each system has its own.
  struct TReception;

 private:
  void Deliver(TCopyDataBlock& received);

  TWindowHandle Window_;
  TCopyDataHandler Handler_;
  std::unique_ptr<TReception> Reception_;
};

}  // namespace qel
