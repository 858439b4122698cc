#include "pack/Inflater.h"

#include <algorithm>
#include <vector>

#include "pack/BlockInflater.h"
#include "pack/ZStream.h"

namespace qel {
namespace {

constexpr int32_t kInputPiece = 256 * 1024;
constexpr size_t kOutputPiece = 1024 * 1024;

}  // namespace

// Whole blocks go through the block inflater; zlib streams what is too large
// to hold.
struct TInflater::TState {
  TBlockInflater Block;
  std::vector<uint8_t> Input = std::vector<uint8_t>(kInputPiece);
  std::vector<uint8_t> Output;
};

TInflater::TInflater() : State_(std::make_unique<TState>()) {}

TInflater::~TInflater() = default;

bool TInflater::InflateExact(TBuffStream& input, std::span<uint8_t> out) {
  if (out.empty()) return true;
  const int32_t position = input.Position();
  if (position < 0 || position >= input.Size()) return false;
  // The stream's memory is read in place instead of copied piece by piece.
  const std::span<const uint8_t> packed(static_cast<const uint8_t*>(input.Memory()) + position,
                                        static_cast<size_t>(input.Size() - position));
  size_t used = 0;
  if (!State_->Block.Inflate(packed, out, used)) return false;
  input.Seek(static_cast<int32_t>(used), soCurrent);
  return true;
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
