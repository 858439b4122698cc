// The plug-in's answers to the game: built in a send buffer that lives as
// long as the sender, and delivered to the game's window as copy-data
// messages tagged "QELP".
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "msg/MsgRecords.h"
#include "platform/WindowHandle.h"

namespace qel {

class TQEL_MsgSender {
 public:
  // How long the game gets to take an answer; one it does not take is lost.
  static constexpr int kAnswerTimeoutMs = 1000;
  static constexpr size_t kInitialCapacity = 1024;

  // Hands a built block to the game's window (target), naming the plug-in's
  // window (own) as its sender.
  using TDelivery = std::function<void(TWindowHandle target, TWindowHandle own, uint32_t tag,
                                       std::span<const uint8_t> block, int timeout_ms)>;

  // Delivers through the platform's copy-data messages.
  TQEL_MsgSender(TWindowHandle target, TWindowHandle own);
  // Delivers through `delivery` instead (tests).
  TQEL_MsgSender(TWindowHandle target, TWindowHandle own, TDelivery delivery);

  // The 6-byte answer: Id, Kind, Code.
  void SendReply(uint8_t kind, uint8_t code, int32_t id);
  // The answer with a value list. Values of the six sendable kinds only
  // ("invalid param" otherwise), at most 255 of them, strings of at most
  // 65535 bytes or code units ("Range check error" otherwise); a refused
  // answer sends nothing.
  void SendReplyWithValues(uint8_t kind, uint8_t code, std::span<const TQEL_Variant> values,
                           int32_t id);

  size_t Capacity() const { return Buffer_.size(); }

 private:
  // Grows the buffer to hold `needed` bytes: to the next multiple of 1024
  // above it plus 1024 more. It never shrinks.
  void EnsureCapacity(uint64_t needed);
  uint8_t* WriteHeader(uint8_t kind, uint8_t code, int32_t id);
  void Deliver(size_t size);

  TWindowHandle Target_;
  TWindowHandle Own_;
  TDelivery Delivery_;
  std::vector<uint8_t> Buffer_;
};

}  // namespace qel
