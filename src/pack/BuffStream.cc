#include "pack/BuffStream.h"

#include <algorithm>
#include <cstring>

namespace qel {

void TBuffStream::SetBuffer(void* memory, int32_t size) {
  SetBuffer(static_cast<const void*>(memory), size);
  Writable_ = static_cast<uint8_t*>(memory);
}

void TBuffStream::SetBuffer(const void* memory, int32_t size) {
  Memory_ = static_cast<const uint8_t*>(memory);
  Writable_ = nullptr;
  Size_ = size;
  Position_ = 0;
}

int32_t TBuffStream::Read(void* buffer, int32_t count) {
  if (Position_ < 0 || count < 0 || Position_ >= Size_) return 0;
  const int32_t copied = std::min(count, Size_ - Position_);
  std::memcpy(buffer, Memory_ + Position_, static_cast<size_t>(copied));
  Position_ += copied;
  return copied;
}

int32_t TBuffStream::Write(const void* buffer, int32_t count) {
  if (Writable_ == nullptr || Position_ < 0 || count < 0) return 0;
  int64_t end = int64_t{Position_} + count;
  if (end <= 0) return 0;
  if (end > Size_) {
    end = Size_;
    count = static_cast<int32_t>(end - Position_);
  }
  if (count <= 0) return 0;
  std::memcpy(Writable_ + Position_, buffer, static_cast<size_t>(count));
  Position_ = static_cast<int32_t>(end);
  return count;
}

int32_t TBuffStream::Seek(int32_t offset, TSeekOrigin origin) {
  int64_t base = 0;
  if (origin == soCurrent) base = Position_;
  if (origin == soEnd) base = Size_;
  // Wraps like the 32-bit arithmetic of the format instead of overflowing.
  Position_ = static_cast<int32_t>(static_cast<uint32_t>(base + offset));
  return Position_;
}

}  // namespace qel
