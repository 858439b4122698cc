// Inflates a whole zlib stream that lies in memory into a buffer of the
// known inflated size: the fast path for blocks. Built on libdeflate where
// the system has it, else on zlib.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace qel {

class TBlockInflater {
 public:
  TBlockInflater();  // raises std::bad_alloc
  ~TBlockInflater();
  TBlockInflater(const TBlockInflater&) = delete;
  TBlockInflater& operator=(const TBlockInflater&) = delete;

  // Fills `out` completely from the stream at the start of `packed`; `used`
  // is then the count of packed bytes it took. False when the stream is
  // corrupt or yields less. A stream that holds more is read only that far.
  bool Inflate(std::span<const uint8_t> packed, std::span<uint8_t> out, size_t& used);

 private:
  struct TState;
  std::unique_ptr<TState> State_;
};

}  // namespace qel
