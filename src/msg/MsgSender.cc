#include "msg/MsgSender.h"

#include <limits>
#include <new>
#include <utility>

#include "msg/ValueList.h"
#include "platform/CopyData.h"

namespace qel {
namespace {

constexpr size_t kHeaderSize = 6;  // Id, Kind, Code
constexpr uint64_t kCapacityStep = 1024;

}  // namespace

TQEL_MsgSender::TQEL_MsgSender(TWindowHandle target, TWindowHandle own)
    : TQEL_MsgSender(target, own,
                     [](TWindowHandle to, TWindowHandle from, uint32_t tag,
                        std::span<const uint8_t> block, int timeout_ms) {
                       // Not examined: an answer the game does not take is lost.
                       SendCopyData(to, from, tag, block, timeout_ms);
                     }) {}

TQEL_MsgSender::TQEL_MsgSender(TWindowHandle target, TWindowHandle own, TDelivery delivery)
    : Target_(target), Own_(own), Delivery_(std::move(delivery)), Buffer_(kInitialCapacity) {}

void TQEL_MsgSender::EnsureCapacity(uint64_t needed) {
  if (needed <= Buffer_.size()) return;
  const uint64_t capacity =
      (needed + kCapacityStep - 1) / kCapacityStep * kCapacityStep + kCapacityStep;
  if (capacity > std::numeric_limits<size_t>::max()) throw std::bad_alloc();
  Buffer_.resize(static_cast<size_t>(capacity));
}

uint8_t* TQEL_MsgSender::WriteHeader(uint8_t kind, uint8_t code, int32_t id) {
  uint8_t* out = Buffer_.data();
  const auto bits = static_cast<uint32_t>(id);
  for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(bits >> (8 * i));
  out[4] = kind;
  out[5] = code;
  return out + kHeaderSize;
}

void TQEL_MsgSender::Deliver(size_t size) {
  Delivery_(Target_, Own_, kMagicAnswer, std::span<const uint8_t>(Buffer_.data(), size),
            kAnswerTimeoutMs);
}

void TQEL_MsgSender::SendReply(uint8_t kind, uint8_t code, int32_t id) {
  EnsureCapacity(kHeaderSize);
  WriteHeader(kind, code, id);
  Deliver(kHeaderSize);
}

void TQEL_MsgSender::SendReplyWithValues(uint8_t kind, uint8_t code,
                                         std::span<const TQEL_Variant> values, int32_t id) {
  // Every check comes before the buffer changes: a refused answer leaves no trace.
  const uint64_t size = kHeaderSize + ValueListSize(values);
  EnsureCapacity(size);
  uint8_t* end = WriteValueList(WriteHeader(kind, code, id), values);
  Deliver(static_cast<size_t>(end - Buffer_.data()));
}

}  // namespace qel
