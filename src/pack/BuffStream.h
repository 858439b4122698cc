// A stream over a fixed piece of memory that it does not own. Positions and
// counts are 32-bit signed, as in the pack format.
#pragma once

#include <cstdint>

namespace qel {

enum TSeekOrigin : uint8_t { soBeginning = 0, soCurrent = 1, soEnd = 2 };

class TBuffStream {
 public:
  void SetBuffer(void* memory, int32_t size);
  // Read-only memory: Write answers 0.
  void SetBuffer(const void* memory, int32_t size);

  int32_t Read(void* buffer, int32_t count);
  int32_t Write(const void* buffer, int32_t count);
  // Moves without clamping; a position outside the memory reads and writes nothing.
  int32_t Seek(int32_t offset, TSeekOrigin origin);

  const void* Memory() const { return Memory_; }
  int32_t Size() const { return Size_; }
  int32_t Position() const { return Position_; }

 private:
  const uint8_t* Memory_ = nullptr;
  uint8_t* Writable_ = nullptr;
  int32_t Size_ = 0;
  int32_t Position_ = 0;
};

}  // namespace qel
