#include "net/MemoryStream.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "platform/Error.h"

namespace qel {

void TMemoryStream::Reserve(int32_t capacity) {
  if (capacity <= Capacity_) return;
  // Not cleared: a pack of hundreds of megabytes is written over at once.
  auto memory = std::make_unique_for_overwrite<uint8_t[]>(static_cast<size_t>(capacity));
  if (Size_ > 0) std::memcpy(memory.get(), Memory_.get(), static_cast<size_t>(Size_));
  Memory_ = std::move(memory);
  Capacity_ = capacity;
}

void TMemoryStream::SetSize(int32_t size) {
  if (size < 0) throw EQelError("a memory stream cannot have a negative size");
  Reserve(size);
  Size_ = size;
}

void TMemoryStream::Write(const void* bytes, int32_t count) {
  if (count <= 0) return;
  if (Position_ < 0) throw EQelError("a memory stream cannot be written before its start");
  const int64_t end = int64_t{Position_} + count;
  constexpr int64_t kLargest = std::numeric_limits<int32_t>::max();
  if (end > kLargest) throw EQelError("a memory stream cannot grow beyond 2 GiB");
  if (end > Capacity_) {
    Reserve(static_cast<int32_t>(std::min(kLargest, std::max(end, int64_t{Capacity_} * 2))));
  }
  std::memcpy(Memory_.get() + Position_, bytes, static_cast<size_t>(count));
  Position_ = static_cast<int32_t>(end);
  Size_ = std::max(Size_, Position_);
}

}  // namespace qel
