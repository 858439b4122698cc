#include "pack/Inflater.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <limits>
#include <vector>

namespace qel {
namespace {

constexpr int32_t kInputPiece = 256 * 1024;
constexpr size_t kOutputPiece = 1024 * 1024;

}  // namespace

// Whole blocks go through libdeflate, which inflates a known-size block more
// than twice as fast as zlib; zlib streams what is too large to hold.
struct TInflater::TState {
  libdeflate_decompressor* Decompressor = nullptr;
  std::vector<uint8_t> Input = std::vector<uint8_t>(kInputPiece);
  std::vector<uint8_t> Output;
  ~TState() { libdeflate_free_decompressor(Decompressor); }
};

TInflater::TInflater() : State_(std::make_unique<TState>()) {
  State_->Decompressor = libdeflate_alloc_decompressor();
  if (State_->Decompressor == nullptr) throw std::bad_alloc();
}

TInflater::~TInflater() = default;

namespace {

// One zlib stream: inflates into the windows it is given until each is full.
class TZStream {
 public:
  TZStream() {
    if (inflateInit(&Stream_) != Z_OK) throw std::bad_alloc();
  }
  ~TZStream() { inflateEnd(&Stream_); }
  TZStream(const TZStream&) = delete;
  TZStream& operator=(const TZStream&) = delete;

  // Fills `out` completely; false when the input ends first or is corrupt.
  bool Fill(TBuffStream& input, std::vector<uint8_t>& buffer, std::span<uint8_t> out) {
    while (!out.empty()) {
      if (Ended_) return false;
      if (Stream_.avail_in == 0) {
        const int32_t got = input.Read(buffer.data(), static_cast<int32_t>(buffer.size()));
        if (got <= 0) return false;
        Stream_.next_in = buffer.data();
        Stream_.avail_in = static_cast<uInt>(got);
      }
      const uInt piece = static_cast<uInt>(std::min<size_t>(out.size(), std::numeric_limits<uInt>::max()));
      Stream_.next_out = out.data();
      Stream_.avail_out = piece;
      const int result = inflate(&Stream_, Z_NO_FLUSH);
      out = out.subspan(piece - Stream_.avail_out);
      if (result == Z_STREAM_END) {
        Ended_ = true;
      } else if (result != Z_OK && result != Z_BUF_ERROR) {
        return false;
      }
    }
    return true;
  }

 private:
  z_stream Stream_{};
  bool Ended_ = false;
};

}  // namespace

bool TInflater::InflateExact(TBuffStream& input, std::span<uint8_t> out) {
  if (out.empty()) return true;
  const int32_t position = input.Position();
  if (position < 0 || position >= input.Size()) return false;
  // The stream's memory is read in place instead of copied piece by piece.
  const auto* packed = static_cast<const uint8_t*>(input.Memory()) + position;
  size_t used = 0;
  size_t made = 0;
  const libdeflate_result result = libdeflate_zlib_decompress_ex(
      State_->Decompressor, packed, static_cast<size_t>(input.Size() - position), out.data(),
      out.size(), &used, &made);
  if (result == LIBDEFLATE_SUCCESS) {
    if (made != out.size()) return false;
    input.Seek(static_cast<int32_t>(used), soCurrent);
    return true;
  }
  if (result != LIBDEFLATE_INSUFFICIENT_SPACE) return false;
  // The stream holds more than asked for: only the asked-for bytes are read.
  TZStream stream;
  return stream.Fill(input, State_->Input, out);
}

bool TInflater::InflateExactTo(TBuffStream& input, int64_t size, const TSink& sink) {
  if (size < 0) return false;
  if (size == 0) return true;
  if (State_->Output.empty()) State_->Output.resize(kOutputPiece);
  TZStream stream;
  while (size > 0) {
    const auto piece = static_cast<size_t>(std::min<int64_t>(size, kOutputPiece));
    const std::span<uint8_t> window(State_->Output.data(), piece);
    if (!stream.Fill(input, State_->Input, window) || !sink(window)) return false;
    size -= static_cast<int64_t>(piece);
  }
  return true;
}

}  // namespace qel
