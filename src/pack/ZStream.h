// zlib inflation for the inflater: a stream that reads its input through a
// TBuffStream piece by piece, and one pass over bytes already in memory.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <span>
#include <vector>

#include "pack/BuffStream.h"

namespace qel {

// One zlib stream: inflates into the windows it is given until each is full.
class TZStream {
 public:
  TZStream();
  ~TZStream();
  TZStream(const TZStream&) = delete;
  TZStream& operator=(const TZStream&) = delete;

  // Fills `out` completely, reading `input` in pieces of `buffer`'s size;
  // false when the input ends first or is corrupt.
  bool Fill(TBuffStream& input, std::vector<uint8_t>& buffer, std::span<uint8_t> out);

 private:
  z_stream Stream_{};
  bool Ended_ = false;
};

// Fills `out` completely from the zlib stream at the start of `packed`;
// `used` is then the count of packed bytes it took. False when the stream
// ends first or is corrupt. A stream that holds more than `out` is read
// only that far.
bool InflateInMemory(std::span<const uint8_t> packed, std::span<uint8_t> out, size_t& used);

}  // namespace qel
