// The pictures the Windows decoding tests read: made at build time by
// make_pictures.py and compiled into the test program as resources of type
// PICTURE, with a few ways into their structure for damaging them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace qel::test {

// The picture named like its resource (RGBA_PNG for rgba.png), as a copy the
// test may change; throws when the program has no such picture.
std::vector<uint8_t> TestPicture(std::string_view name);

// Offset of the chunk's length field, or npos.
size_t FindPngChunk(std::span<const uint8_t> png, std::string_view type);

// Offset of the first scan's entropy-coded data, or npos.
size_t FindJpegScanData(std::span<const uint8_t> jpeg);

// The samples make_pictures.py fills its pictures with.
std::vector<uint8_t> Samples(size_t count);

}  // namespace qel::test
