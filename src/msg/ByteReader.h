// A cursor over a received block: every read is checked against the block's
// end, and a read that would pass it refuses the whole message with the
// channel's size error. Integers are little-endian.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace qel {

class TByteReader {
 public:
  explicit TByteReader(std::span<const uint8_t> block) : Block_(block) {}

  size_t Remaining() const { return Block_.size() - Position_; }
  size_t Position() const { return Position_; }

  uint8_t U8();
  uint16_t U16();
  uint32_t U32();
  int32_t I32() { return static_cast<int32_t>(U32()); }
  uint64_t U64();
  std::span<const uint8_t> Bytes(size_t count);
  std::string Text(size_t count);
  std::string RestAsText() { return Text(Remaining()); }

 private:
  std::span<const uint8_t> Block_;
  size_t Position_ = 0;
};

// The failure of a message whose lengths do not fit its block.
[[noreturn]] void RefuseParamSize();

}  // namespace qel
