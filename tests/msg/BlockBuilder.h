// Message blocks written byte by byte, for tests that need exact layouts,
// wrong ones included.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

namespace qel::test {

class BlockBuilder {
 public:
  BlockBuilder& U8(uint8_t value) {
    bytes_.push_back(value);
    return *this;
  }
  BlockBuilder& U16(uint16_t value) { return Little(value, 2); }
  BlockBuilder& I32(int32_t value) { return Little(static_cast<uint32_t>(value), 4); }
  BlockBuilder& F64(double value) {
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return Little(bits, 8);
  }
  BlockBuilder& Text(std::string_view text) {
    bytes_.insert(bytes_.end(), text.begin(), text.end());
    return *this;
  }
  // Id and Kind: the 5 bytes every message starts with.
  BlockBuilder& Head(int32_t id, uint8_t kind) { return I32(id).U8(kind); }

  const std::vector<uint8_t>& Bytes() const { return bytes_; }

 private:
  BlockBuilder& Little(uint64_t value, int size) {
    for (int i = 0; i < size; ++i) bytes_.push_back(static_cast<uint8_t>(value >> (8 * i)));
    return *this;
  }
  std::vector<uint8_t> bytes_;
};

// A copy in a heap block of exactly the block's size, so that the address
// sanitizer catches any read past its end.
class ExactBlock {
 public:
  explicit ExactBlock(std::span<const uint8_t> bytes)
      : size_(bytes.size()), data_(new uint8_t[bytes.size()]) {
    if (size_ != 0) std::memcpy(data_.get(), bytes.data(), size_);
  }
  std::span<const uint8_t> Span() const { return {data_.get(), size_}; }
  uint8_t* Data() { return data_.get(); }

 private:
  size_t size_;
  std::unique_ptr<uint8_t[]> data_;
};

}  // namespace qel::test
