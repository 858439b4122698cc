#include "platform/win32/GdiCanvas.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

namespace qel {
namespace {

// The face the progress display's label is designed for.
constexpr char kLabelFace[] = "MS Sans Serif";

// Label texts are short; a longer one is cut rather than measured at length.
int TextLength(std::string_view text) { return static_cast<int>(std::min<size_t>(text.size(), 4096)); }

// TColor and COLORREF share their layout: red in the low byte.
COLORREF ColorRefOf(TColor color) { return color & 0x00FFFFFF; }

// Fonts by pixel height, deleted when the library goes.
class TFontCache {
 public:
  ~TFontCache() {
    for (const auto& [height, font] : Fonts_)
      if (font != nullptr) DeleteObject(font);
  }
  HFONT Get(int32_t pixel_height) {
    const std::lock_guard<std::mutex> hold(Lock_);
    const auto found = Fonts_.find(pixel_height);
    if (found != Fonts_.end()) return found->second;
    // A negative height asks for the character height in pixels, without
    // the internal leading.
    HFONT font = CreateFontA(-pixel_height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                             DEFAULT_PITCH | FF_SWISS, kLabelFace);
    if (font != nullptr) Fonts_[pixel_height] = font;
    return font;
  }

 private:
  std::mutex Lock_;
  std::map<int32_t, HFONT> Fonts_;
};

// A 24-bit top-down DIB header for rows of `width` pixels.
BITMAPINFO TopDownInfo(int32_t width, int32_t height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

}  // namespace

HFONT LabelFont(int32_t pixel_height) {
  static TFontCache fonts;
  return fonts.Get(std::clamp(pixel_height, 1, 1000));
}

TWindowSize LabelTextSize(HDC dc, std::string_view text, int32_t pixel_height) {
  HFONT font = LabelFont(pixel_height);
  if (dc == nullptr || font == nullptr) return {};
  HGDIOBJ previous = SelectObject(dc, font);
  SIZE size{};
  const BOOL measured = GetTextExtentPoint32A(dc, text.data(), TextLength(text), &size);
  SelectObject(dc, previous);
  if (!measured) return {};
  return {size.cx, size.cy};
}

TGdiCanvas::TGdiCanvas(HDC dc) : Dc_(dc), SavedState_(SaveDC(dc)) {}

TGdiCanvas::~TGdiCanvas() {
  if (SavedState_ != 0) RestoreDC(Dc_, SavedState_);
}

void TGdiCanvas::DrawBitmap(int32_t x, int32_t y, const TBitmap& bitmap, const TRect& area) {
  const TRect from = Intersection(area, bitmap.Bounds());
  if (from.Empty()) return;
  const int32_t width = from.Width();
  const int32_t height = from.Height();
  // DIB rows start on 4-byte boundaries; the bitmap's rows are packed. Where
  // the two agree the bitmap's own rows are handed over, else the part drawn
  // is copied into padded rows.
  const size_t packed_row = static_cast<size_t>(bitmap.Width()) * 3;
  const uint8_t* bits = bitmap.Row(from.Top);
  BITMAPINFO info = TopDownInfo(bitmap.Width(), height);
  int32_t source_x = from.Left;
  std::vector<uint8_t> padded;
  if (packed_row % 4 != 0) {
    const size_t row = static_cast<size_t>(width) * 3;
    const size_t stride = (row + 3) & ~size_t{3};
    padded.resize(stride * static_cast<size_t>(height));
    for (int32_t line = 0; line < height; ++line)
      std::memcpy(padded.data() + stride * static_cast<size_t>(line), bitmap.Row(from.Top + line) + from.Left * 3,
                  row);
    bits = padded.data();
    info = TopDownInfo(width, height);
    source_x = 0;
  }
  SetDIBitsToDevice(Dc_, x + (from.Left - area.Left), y + (from.Top - area.Top), static_cast<DWORD>(width),
                    static_cast<DWORD>(height), source_x, 0, 0, static_cast<UINT>(height), bits, &info,
                    DIB_RGB_COLORS);
}

void TGdiCanvas::FillRect(const TRect& rect, TColor color) {
  if (rect.Empty()) return;
  const RECT box{rect.Left, rect.Top, rect.Right, rect.Bottom};
  SetDCBrushColor(Dc_, ColorRefOf(color));
  ::FillRect(Dc_, &box, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

void TGdiCanvas::DrawLabel(int32_t x, int32_t y, std::string_view text, int32_t font_height, TColor color,
                           TColor background) {
  HFONT font = LabelFont(font_height);
  if (font == nullptr) return;
  const TWindowSize size = LabelTextSize(Dc_, text, font_height);
  const RECT box{x, y, x + size.Width, y + size.Height};
  SelectObject(Dc_, font);
  SetTextAlign(Dc_, TA_LEFT | TA_TOP | TA_NOUPDATECP);
  SetTextColor(Dc_, ColorRefOf(color));
  SetBkColor(Dc_, ColorRefOf(background));
  // The box is filled with the background in the same call: no flicker.
  ExtTextOutA(Dc_, x, y, ETO_OPAQUE | ETO_CLIPPED, &box, text.data(), static_cast<UINT>(TextLength(text)),
              nullptr);
}

}  // namespace qel
