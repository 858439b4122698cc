#include "msg/ByteReader.h"

#include "platform/Error.h"

namespace qel {

void RefuseParamSize() { throw EQelError("error param size"); }

std::span<const uint8_t> TByteReader::Bytes(size_t count) {
  if (count > Remaining()) RefuseParamSize();
  std::span<const uint8_t> bytes = Block_.subspan(Position_, count);
  Position_ += count;
  return bytes;
}

uint8_t TByteReader::U8() { return Bytes(1)[0]; }

uint16_t TByteReader::U16() {
  std::span<const uint8_t> b = Bytes(2);
  return static_cast<uint16_t>(b[0] | b[1] << 8);
}

uint32_t TByteReader::U32() {
  std::span<const uint8_t> b = Bytes(4);
  return uint32_t{b[0]} | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16 | uint32_t{b[3]} << 24;
}

uint64_t TByteReader::U64() {
  const uint64_t low = U32();
  const uint64_t high = U32();
  return low | high << 32;
}

std::string TByteReader::Text(size_t count) {
  std::span<const uint8_t> b = Bytes(count);
  return std::string(b.begin(), b.end());
}

}  // namespace qel
