#include "TestPictures.h"

#include <algorithm>
#include <stdexcept>
#include <string>

#include "platform/Resource.h"

namespace qel::test {

std::vector<uint8_t> TestPicture(std::string_view name) {
  const auto bytes = FindLibraryResource("PICTURE", name);
  if (!bytes) throw std::runtime_error("no test picture " + std::string(name));
  return {bytes->begin(), bytes->end()};
}

size_t FindPngChunk(std::span<const uint8_t> png, std::string_view type) {
  // Signature, then chunks of length, type, data and checksum.
  size_t offset = 8;
  while (offset + 8 <= png.size()) {
    const size_t length = size_t{png[offset]} << 24 | size_t{png[offset + 1]} << 16 |
                          size_t{png[offset + 2]} << 8 | png[offset + 3];
    if (std::equal(type.begin(), type.end(), png.begin() + offset + 4)) return offset;
    offset += 12 + length;
  }
  return std::string_view::npos;
}

size_t FindJpegScanData(std::span<const uint8_t> jpeg) {
  // Start of image, then marker segments with their lengths up to the first
  // start of scan.
  size_t offset = 2;
  while (offset + 4 <= jpeg.size() && jpeg[offset] == 0xFF) {
    const size_t length = size_t{jpeg[offset + 2]} << 8 | jpeg[offset + 3];
    if (jpeg[offset + 1] == 0xDA) return offset + 2 + length;
    offset += 2 + length;
  }
  return std::string_view::npos;
}

std::vector<uint8_t> Samples(size_t count) {
  std::vector<uint8_t> samples(count);
  for (size_t i = 0; i < count; ++i) samples[i] = static_cast<uint8_t>(i * 37 + 11);
  return samples;
}

}  // namespace qel::test
