// What is the same on every system: the ways into a file's structure for
// the tests that damage it.
#include "PictureEncoding.h"

#include <cstring>

#include <zlib.h>

namespace qel::test {
namespace {

uint32_t ReadBe32(const uint8_t* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | uint32_t{p[3]};
}

}  // namespace

size_t FindPngChunk(const std::vector<uint8_t>& png, std::string_view type) {
  size_t offset = 8;  // the signature
  while (offset + 12 <= png.size()) {
    if (std::memcmp(png.data() + offset + 4, type.data(), 4) == 0) return offset;
    offset += 12 + ReadBe32(png.data() + offset);
  }
  return std::string_view::npos;
}

void FixPngChunkCrc(std::vector<uint8_t>& png, size_t offset) {
  const uint32_t length = ReadBe32(png.data() + offset);
  const uint8_t* typed_data = png.data() + offset + 4;
  const auto crc = static_cast<uint32_t>(crc32(crc32(0, nullptr, 0), typed_data, length + 4));
  uint8_t* out = png.data() + offset + 8 + length;
  for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
}

size_t FindJpegScanData(const std::vector<uint8_t>& jpeg) {
  // Markers after SOI each carry a 2-byte length that counts itself.
  size_t offset = 2;
  while (offset + 4 <= jpeg.size() && jpeg[offset] == 0xFF) {
    const size_t length = size_t{jpeg[offset + 2]} << 8 | jpeg[offset + 3];
    if (jpeg[offset + 1] == 0xDA) return offset + 2 + length;
    offset += 2 + length;
  }
  return std::string_view::npos;
}

}  // namespace qel::test
