#include "platform/win32/JpegStructure.h"

#include <cstddef>

namespace qel {
namespace {

constexpr uint8_t kStartOfImage = 0xD8;
constexpr uint8_t kEndOfImage = 0xD9;
constexpr uint8_t kStartOfScan = 0xDA;

// Markers that stand alone, without a length: restarts and TEM.
bool HasNoLength(uint8_t marker) { return (marker >= 0xD0 && marker <= 0xD7) || marker == 0x01; }

// The offset of the marker code after the entropy-coded data starting at
// `at`, or the end of `jpeg`. In that data 0xFF is followed by 0 (a stuffed
// byte) or by a restart marker, which both belong to the data.
size_t SkipEntropyCodedData(std::span<const uint8_t> jpeg, size_t at) {
  while (at + 1 < jpeg.size()) {
    if (jpeg[at] == 0xFF) {
      const uint8_t next = jpeg[at + 1];
      if (next != 0 && !(next >= 0xD0 && next <= 0xD7)) return at;
      at += 2;
    } else {
      ++at;
    }
  }
  return jpeg.size();
}

}  // namespace

TJpegOutline OutlineJpeg(std::span<const uint8_t> jpeg) {
  TJpegOutline outline;
  if (jpeg.size() < 4 || jpeg[0] != 0xFF || jpeg[1] != kStartOfImage) return outline;
  size_t at = 2;
  while (at + 1 < jpeg.size()) {
    if (jpeg[at] != 0xFF) return outline;
    const uint8_t marker = jpeg[at + 1];
    if (marker == 0xFF) {  // a fill byte before the marker
      ++at;
      continue;
    }
    if (marker == kEndOfImage) {
      outline.ReachesEndMarker = true;
      return outline;
    }
    at += 2;
    if (HasNoLength(marker)) continue;
    if (at + 2 > jpeg.size()) return outline;
    const size_t length = size_t{jpeg[at]} << 8 | jpeg[at + 1];
    if (length < 2 || length > jpeg.size() - at) return outline;
    at += length;
    if (marker == kStartOfScan) {
      ++outline.Scans;
      at = SkipEntropyCodedData(jpeg, at);
    }
  }
  return outline;
}

}  // namespace qel
