#include "pack/BlockInflater.h"
#include "pack/ZStream.h"

namespace qel {

struct TBlockInflater::TState {};

TBlockInflater::TBlockInflater() = default;

TBlockInflater::~TBlockInflater() = default;

bool TBlockInflater::Inflate(std::span<const uint8_t> packed, std::span<uint8_t> out, size_t& used) {
  return InflateInMemory(packed, out, used);
}

}  // namespace qel
