// The plug-in's side of the game's requests: copy-data messages from the
// game's window are checked, parsed and queued in arrival order; the timer
// tick takes them out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <span>

#include "msg/MsgRecords.h"
#include "platform/WindowHandle.h"

namespace qel {

class TQEL_MsgReceiver {
 public:
  explicit TQEL_MsgReceiver(TWindowHandle game_window) : GameWindow_(game_window) {}

  // Queues one message. Blocks from any window but the game's, with another
  // tag or a kind outside the page-call kinds are ignored; a block whose
  // layout does not fit is refused with "error param size". Neither queues
  // anything. The block is copied out during the call.
  void HandleCopyData(TWindowHandle sender, uint32_t magic, std::span<const uint8_t> block);

  size_t MessageCount() const { return Queue_.size(); }
  // False when the queue is empty; otherwise moves the oldest message out.
  bool PopMessage(TQEL_Message& message);

  TWindowHandle GameWindow() const { return GameWindow_; }

 private:
  TWindowHandle GameWindow_;
  std::deque<TQEL_Message> Queue_;
};

}  // namespace qel
