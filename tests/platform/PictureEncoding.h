// Pictures encoded in memory for the decoder and display tests, so that no
// binary picture is kept in the repository, and the byte surgery that turns
// them into damaged files. Each system has its encoders (posix/ and win32/
// PictureEncoding.cc); an encoder error means a broken test.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace qel::test {

enum class TJpegColors {
  Grey,  // one sample a pixel
  Rgb,   // red, green, blue
  Cmyk,  // four samples a pixel, inverted as Adobe stores them (255: no ink)
  Ycck,  // the same samples, stored by libjpeg as YCCK
};

struct TJpegPicture {
  int Width = 0;
  int Height = 0;
  TJpegColors Colors = TJpegColors::Rgb;
  // All rows, or only one that is repeated for every row.
  std::vector<uint8_t> Samples{};
  bool Progressive = false;
  // Every component's coefficients in scans of their own, one coefficient
  // a scan: a valid file with about 64 scans a component.
  bool OneScanPerCoefficient = false;
};

// Whether this system's encoder makes such a file (the Windows encoders make
// fewer kinds than libjpeg and libpng); encoding one it cannot make throws.
bool CanEncode(const TJpegPicture& picture);
std::vector<uint8_t> EncodeJpeg(const TJpegPicture& picture);

// PNG colour types, numbered as in the file.
enum class TPngColors : uint8_t { Grey = 0, Rgb = 2, Palette = 3, GreyAlpha = 4, Rgba = 6 };

struct TPngPicture {
  int Width = 0;
  int Height = 0;
  TPngColors Colors = TPngColors::Rgba;
  int BitDepth = 8;
  // Packed rows as the file holds them (16-bit samples big-endian).
  std::vector<uint8_t> Rows{};
  std::vector<uint8_t> Palette{};       // red, green, blue for each entry
  std::vector<uint8_t> PaletteAlpha{};  // tRNS: the first entries' alpha
  double Gamma = 0;                     // gAMA when not 0
  bool Interlaced = false;
};

bool CanEncode(const TPngPicture& picture);
std::vector<uint8_t> EncodePng(const TPngPicture& picture);

// Where the PNG chunk of this type starts (at its length), or npos.
size_t FindPngChunk(const std::vector<uint8_t>& png, std::string_view type);
// Recomputes the checksum of the chunk at `offset` after its data was changed.
void FixPngChunkCrc(std::vector<uint8_t>& png, size_t offset);
// Where the first scan's data starts in a JPEG (after its SOS header), or npos.
size_t FindJpegScanData(const std::vector<uint8_t>& jpeg);

}  // namespace qel::test
