// What the copy-data tests' second process sends: block i carries tag
// kSenderFirstTag + i and SenderBlock(i).
#pragma once

#include <cstdint>
#include <vector>

namespace qel::test {

constexpr uint32_t kSenderFirstTag = 0x51450000;

inline std::vector<uint8_t> SenderBlock(int index) {
  std::vector<uint8_t> bytes(static_cast<size_t>(index) * 997 + 1);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 13 + static_cast<size_t>(index));
  return bytes;
}

}  // namespace qel::test
