#include "platform/Bitmap.h"

#include <algorithm>

namespace qel {

TRect Intersection(const TRect& a, const TRect& b) {
  const TRect both{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
                   std::min(a.Bottom, b.Bottom)};
  return both.Empty() ? TRect{} : both;
}

TRect Union(const TRect& a, const TRect& b) {
  if (a.Empty()) return b.Empty() ? TRect{} : b;
  if (b.Empty()) return a;
  return {std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right),
          std::max(a.Bottom, b.Bottom)};
}

TBitmap::TBitmap(int32_t width, int32_t height)
    : Width_(std::clamp(width, 0, kMaxSide)),
      Height_(std::clamp(height, 0, kMaxSide)),
      Pixels_(static_cast<size_t>(Width_) * static_cast<size_t>(Height_) * 3) {}

TColor TBitmap::Pixel(int32_t x, int32_t y) const {
  if (x < 0 || y < 0 || x >= Width_ || y >= Height_) return 0;
  const uint8_t* pixel = Row(y) + x * 3;
  return RgbColor(pixel[2], pixel[1], pixel[0]);
}

void TBitmap::SetPixel(int32_t x, int32_t y, TColor color) { FillRect(TRect::OfSize(x, y, 1, 1), color); }

void TBitmap::FillRect(const TRect& rect, TColor color) {
  const TRect area = Intersection(rect, Bounds());
  const uint8_t bgr[3] = {BlueOf(color), GreenOf(color), RedOf(color)};
  for (int32_t y = area.Top; y < area.Bottom; ++y) {
    uint8_t* pixel = Row(y) + area.Left * 3;
    for (int32_t x = area.Left; x < area.Right; ++x, pixel += 3) std::copy_n(bgr, 3, pixel);
  }
}

void TBitmap::CopyRect(int32_t x, int32_t y, const TBitmap& source, const TRect& area) {
  // The source rectangle, cut at the source, then its image here, cut here.
  const TRect from = Intersection(area, source.Bounds());
  const TRect to = Intersection(TRect::OfSize(x + from.Left - area.Left, y + from.Top - area.Top,
                                              from.Width(), from.Height()),
                                Bounds());
  if (to.Empty()) return;
  const int32_t source_left = from.Left + (to.Left - (x + from.Left - area.Left));
  const int32_t source_top = from.Top + (to.Top - (y + from.Top - area.Top));
  for (int32_t row = 0; row < to.Height(); ++row) {
    const uint8_t* begin = source.Row(source_top + row) + source_left * 3;
    std::copy_n(begin, to.Width() * 3, Row(to.Top + row) + to.Left * 3);
  }
}

void TBitmap::StretchDraw(const TRect& dest, const TBitmap& source, const TRect& clip) {
  const TRect area = Intersection(Intersection(dest, clip), Bounds());
  if (area.Empty() || source.Width_ == 0 || source.Height_ == 0) return;
  const int64_t dest_width = dest.Width();
  const int64_t dest_height = dest.Height();
  std::vector<int32_t> columns(static_cast<size_t>(area.Width()));
  for (int32_t x = area.Left; x < area.Right; ++x)
    columns[static_cast<size_t>(x - area.Left)] =
        static_cast<int32_t>((x - dest.Left) * int64_t{source.Width_} / dest_width) * 3;
  for (int32_t y = area.Top; y < area.Bottom; ++y) {
    const uint8_t* from = source.Row(static_cast<int32_t>((y - dest.Top) * int64_t{source.Height_} / dest_height));
    uint8_t* to = Row(y) + area.Left * 3;
    for (const int32_t column : columns) {
      std::copy_n(from + column, 3, to);
      to += 3;
    }
  }
}

void TBitmap::Tint(const TRect& rect, TColor tint) {
  const TRect area = Intersection(rect, Bounds());
  const int tint_bgr[3] = {BlueOf(tint), GreenOf(tint), RedOf(tint)};
  for (int32_t y = area.Top; y < area.Bottom; ++y) {
    uint8_t* pixel = Row(y) + area.Left * 3;
    for (int32_t x = area.Left; x < area.Right; ++x)
      for (int channel = 0; channel < 3; ++channel, ++pixel)
        *pixel = static_cast<uint8_t>((3 * tint_bgr[channel] + 2 * *pixel) / 5);
  }
}

void DrawBlended(TBitmap& target, int32_t x, int32_t y, const TPicture& picture, const TRect& clip) {
  if (!picture.HasAlpha()) {
    const TRect area = Intersection(clip, TRect::OfSize(x, y, picture.Width(), picture.Height()));
    target.CopyRect(area.Left, area.Top, picture.Colors,
                    TRect::OfSize(area.Left - x, area.Top - y, area.Width(), area.Height()));
    return;
  }
  const TRect area = Intersection(Intersection(clip, target.Bounds()),
                                  TRect::OfSize(x, y, picture.Width(), picture.Height()));
  for (int32_t row = area.Top; row < area.Bottom; ++row) {
    const int32_t source_row = row - y;
    const uint8_t* from = picture.Colors.Row(source_row) + (area.Left - x) * 3;
    const uint8_t* alpha =
        picture.Alpha.data() + static_cast<size_t>(source_row) * static_cast<size_t>(picture.Width()) + (area.Left - x);
    uint8_t* to = target.Row(row) + area.Left * 3;
    for (int32_t column = area.Left; column < area.Right; ++column, ++alpha)
      for (int channel = 0; channel < 3; ++channel, ++from, ++to)
        *to = static_cast<uint8_t>((*alpha * *from + (255 - *alpha) * *to + 255) / 256);
  }
}

}  // namespace qel
