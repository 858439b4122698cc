// Inflates zlib-format streams whose inflated size is known, reading the
// compressed bytes through a TBuffStream. Bytes the stream holds beyond the
// asked-for size are not read.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>

#include "pack/BuffStream.h"

namespace qel {

class TInflater {
 public:
  // Answers false to end the inflation early.
  using TSink = std::function<bool(std::span<const uint8_t> piece)>;

  TInflater();
  ~TInflater();
  TInflater(const TInflater&) = delete;
  TInflater& operator=(const TInflater&) = delete;

  // Fills `out` exactly; false when the stream ends early or is corrupt.
  bool InflateExact(TBuffStream& input, std::span<uint8_t> out);
  // Hands exactly `size` inflated bytes to `sink` in pieces of bounded size;
  // false when the stream ends early or is corrupt, or the sink said stop.
  bool InflateExactTo(TBuffStream& input, int64_t size, const TSink& sink);

 private:
  struct TState;
  std::unique_ptr<TState> State_;
};

// Deflate cannot expand a byte to more than this many; a claimed size above
// it marks a stream that cannot yield it, before any memory is spent on it.
inline constexpr int64_t kMostInflatedPerByte = 1032;

}  // namespace qel
