#include "msg/MsgReceiver.h"

#include <optional>
#include <utility>

#include "msg/MsgParser.h"

namespace qel {

void TQEL_MsgReceiver::HandleCopyData(TWindowHandle sender, uint32_t magic,
                                      std::span<const uint8_t> block) {
  // No window (0) is nobody's window, also while the game's is unknown.
  if (sender == 0 || sender != GameWindow_) return;
  std::optional<TQEL_Message> message = ParseMessage(magic, block);
  if (message) Queue_.push_back(std::move(*message));
}

bool TQEL_MsgReceiver::PopMessage(TQEL_Message& message) {
  if (Queue_.empty()) return false;
  message = std::move(Queue_.front());
  Queue_.pop_front();
  return true;
}

}  // namespace qel
