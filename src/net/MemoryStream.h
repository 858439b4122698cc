// A block of memory with a position, written like a file. Sizes
// and positions are 32-bit signed, as everywhere in the transfer code.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

namespace qel {

class TMemoryStream {
 public:
  TMemoryStream() = default;
  TMemoryStream(const TMemoryStream&) = delete;
  TMemoryStream& operator=(const TMemoryStream&) = delete;

  uint8_t* Memory() { return Memory_.get(); }
  const uint8_t* Memory() const { return Memory_.get(); }
  std::span<const uint8_t> Bytes() const { return {Memory_.get(), static_cast<size_t>(Size_)}; }
  int32_t Size() const { return Size_; }
  int32_t Position() const { return Position_; }

  // Bytes up to the old size are kept; new ones are not cleared. Raises
  // EQelError for a negative size and std::bad_alloc without memory.
  void SetSize(int32_t size);
  // Any position, also beyond the end; a write there fills the gap with
  // undefined bytes.
  void Seek(int32_t position) { Position_ = position; }
  // Writes at the position and moves it on; the stream grows as needed.
  // Raises EQelError when the end would pass 2 GiB or the position is negative.
  void Write(const void* bytes, int32_t count);

 private:
  void Reserve(int32_t capacity);

  std::unique_ptr<uint8_t[]> Memory_;
  int32_t Size_ = 0;
  int32_t Capacity_ = 0;
  int32_t Position_ = 0;
};

}  // namespace qel
