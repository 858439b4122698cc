// Pictures in memory: a 24-bit bitmap of BGR rows, the drawing operations the
// progress display is made of, and a decoded picture that may carry an alpha
// channel. Every operation cuts at the bitmaps' edges, so positions and sizes
// from a page or a publisher's picture need no checking first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qel {

// A colour as 0x00BBGGRR: red in the low byte.
using TColor = uint32_t;

inline constexpr TColor RgbColor(uint8_t red, uint8_t green, uint8_t blue) {
  return static_cast<TColor>(red) | static_cast<TColor>(green) << 8 | static_cast<TColor>(blue) << 16;
}
inline constexpr uint8_t RedOf(TColor color) { return static_cast<uint8_t>(color); }
inline constexpr uint8_t GreenOf(TColor color) { return static_cast<uint8_t>(color >> 8); }
inline constexpr uint8_t BlueOf(TColor color) { return static_cast<uint8_t>(color >> 16); }

// Left and top inside, right and bottom outside.
struct TRect {
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Right = 0;
  int32_t Bottom = 0;

  static TRect OfSize(int32_t left, int32_t top, int32_t width, int32_t height) {
    return {left, top, left + width, top + height};
  }
  int32_t Width() const { return Right - Left; }
  int32_t Height() const { return Bottom - Top; }
  bool Empty() const { return Right <= Left || Bottom <= Top; }
  bool operator==(const TRect&) const = default;
};

// The part both rectangles cover (empty when none).
TRect Intersection(const TRect& a, const TRect& b);
// The smallest rectangle holding both; an empty one counts as nothing.
TRect Union(const TRect& a, const TRect& b);

class TBitmap {
 public:
  // Each side of a bitmap is at most this long; longer sizes are cut to it.
  static constexpr int32_t kMaxSide = 16384;

  TBitmap() = default;
  // Black; a negative side counts as 0.
  TBitmap(int32_t width, int32_t height);

  int32_t Width() const { return Width_; }
  int32_t Height() const { return Height_; }
  TRect Bounds() const { return {0, 0, Width_, Height_}; }
  // Blue, green, red for each pixel of row y, left to right.
  uint8_t* Row(int32_t y) { return Pixels_.data() + RowOffset(y); }
  const uint8_t* Row(int32_t y) const { return Pixels_.data() + RowOffset(y); }

  TColor Pixel(int32_t x, int32_t y) const;
  void SetPixel(int32_t x, int32_t y, TColor color);

  void Fill(TColor color) { FillRect(Bounds(), color); }
  void FillRect(const TRect& rect, TColor color);
  // `area` of `source` copied 1:1 with its top left at (x, y); `source` is
  // another bitmap.
  void CopyRect(int32_t x, int32_t y, const TBitmap& source, const TRect& area);
  // All of `source` at its own size with its top left at (x, y).
  void Draw(int32_t x, int32_t y, const TBitmap& source) { CopyRect(x, y, source, source.Bounds()); }
  // `source` stretched to fill `dest`, nearest pixel: the pixel at column i
  // of `dest` comes from column i * source width div dest width. Only the
  // part of `dest` inside `clip` (and this bitmap) is written, so that a
  // strip of a stretched picture costs only the strip.
  void StretchDraw(const TRect& dest, const TBitmap& source, const TRect& clip);
  void StretchDraw(const TRect& dest, const TBitmap& source) { StretchDraw(dest, source, Bounds()); }
  // Each channel of each pixel in `rect` becomes (3 * tint + 2 * pixel) div 5.
  void Tint(const TRect& rect, TColor tint);

 private:
  size_t RowOffset(int32_t y) const { return static_cast<size_t>(y) * static_cast<size_t>(Width_) * 3; }

  int32_t Width_ = 0;
  int32_t Height_ = 0;
  std::vector<uint8_t> Pixels_;
};

// A decoded picture: its colours, and one alpha byte a pixel when the file
// has an alpha channel (0 transparent, 255 opaque).
struct TPicture {
  TBitmap Colors;
  std::vector<uint8_t> Alpha;  // empty: no alpha channel

  int32_t Width() const { return Colors.Width(); }
  int32_t Height() const { return Colors.Height(); }
  bool HasAlpha() const { return !Alpha.empty(); }
};

// Draws `picture` at its own size with its top left at (x, y), writing only
// inside `clip`. With alpha each channel becomes
// (a * picture + (255 - a) * bitmap + 255) div 256; without, it is copied.
void DrawBlended(TBitmap& target, int32_t x, int32_t y, const TPicture& picture, const TRect& clip);

}  // namespace qel
