// The copy-data transport without a loop of its own: sending a block to a
// window, and the receiving end of one window's blocks, which its owner
// waits on however it likes. The plug-in's listener (CopyData.h) watches an
// endpoint from the plug-in thread's loop; a game waits on one in its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "platform/Error.h"
#include "platform/WindowHandle.h"

namespace qel {

// Another endpoint already receives for the window.
class EWindowTaken : public EQelError {
 public:
  using EQelError::EQelError;
};

// The largest block carried; larger ones are neither sent nor accepted.
constexpr size_t kLargestCopyData = size_t{64} << 20;

enum class TCopyDataSent {
  Taken,       // the receiver's queue holds it
  NoReceiver,  // nobody receives for the window (or the window is 0)
  TimedOut,    // the receiver's queue stayed full
  TooLarge,    // above kLargestCopyData
  Failed,      // the system refused (no socket, no memory file)
};

// Hands the block to the endpoint of `target`, waiting at most `timeout_ms`
// while that endpoint's queue is full.
TCopyDataSent SendCopyDataTo(TWindowHandle target, TWindowHandle sender, uint32_t tag,
                             std::span<const uint8_t> block, int timeout_ms);

struct TCopyDataBlock {
  TWindowHandle Sender = 0;
  uint32_t Tag = 0;
  std::vector<uint8_t> Bytes;
};

enum class TCopyDataReceipt {
  Nothing,  // no datagram was waiting
  Dropped,  // one was taken off and thrown away: malformed, or not the user's own
  Block,    // one was taken off whole
};

// Receives the blocks addressed to one window, in the order they were sent,
// from processes of the same user only.
class TCopyDataEndpoint {
 public:
  // Fails with EWindowTaken when the window already has an endpoint, with
  // EQelError for window 0 or when the system refuses.
  explicit TCopyDataEndpoint(TWindowHandle window);
  ~TCopyDataEndpoint();
  TCopyDataEndpoint(const TCopyDataEndpoint&) = delete;
  TCopyDataEndpoint& operator=(const TCopyDataEndpoint&) = delete;

  TWindowHandle Window() const { return Window_; }
  // What an event loop waits on to learn that a datagram is waiting: on
  // Linux a file descriptor that becomes readable; on Windows the value of an
  // event handle that is set while blocks are queued (handle values have 32
  // significant bits, so (HANDLE)(intptr_t) gives it back).
  int WaitHandle() const;

  // Takes one datagram off without waiting. Every descriptor that came along
  // is closed, whatever becomes of the datagram.
  TCopyDataReceipt ReceiveOne(TCopyDataBlock& received);
  // Waits until a datagram is waiting or `timeout_ms` has passed (negative:
  // no limit); true when one is waiting.
  bool WaitForDatagram(int timeout_ms);

 private:
  // Each system's receiving end.
  struct TState;

  TWindowHandle Window_;
  std::unique_ptr<TState> State_;
};

}  // namespace qel
