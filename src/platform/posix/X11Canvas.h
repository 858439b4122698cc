// Drawing on one X window for the length of a paint: bitmaps through
// XPutImage in the window's own pixel format, rectangles, and label text
// through Xft.
#pragma once

#include <X11/Xft/Xft.h>
#include <X11/Xlib.h>

#include "platform/NativeWindows.h"

namespace qel {

class TX11Canvas final : public TWindowCanvas {
 public:
  // `attributes` are the window's, as XGetWindowAttributes gives them.
  TX11Canvas(Display* display, Window window, const XWindowAttributes& attributes);
  ~TX11Canvas() override;
  TX11Canvas(const TX11Canvas&) = delete;
  TX11Canvas& operator=(const TX11Canvas&) = delete;

  void DrawBitmap(int32_t x, int32_t y, const TBitmap& bitmap, const TRect& area) override;
  void FillRect(const TRect& rect, TColor color) override;
  void DrawLabel(int32_t x, int32_t y, std::string_view text, int32_t font_height, TColor color,
                TColor background) override;

 private:
  // The window's pixel value for a colour (TrueColor visuals; others get 0).
  unsigned long PixelOf(TColor color) const;

  Display* Display_;
  Window Window_;
  Visual* Visual_;
  int Depth_;
  Colormap Colormap_;
  GC Gc_;
  XftDraw* TextDraw_ = nullptr;  // made on the first text
  // Where each channel's top bits go in a pixel, and the bits (alpha on
  // 32-bit visuals) that are set in every pixel.
  struct TChannel {
    int Shift = 0;
    int Bits = 0;
  } Red_, Green_, Blue_;
  unsigned long OpaqueBits_ = 0;
};

// The label font of the given pixel height: a sans-serif face from
// fontconfig, else the server's "fixed" font. Null without any font. Kept
// for the life of the connection.
XftFont* LabelFont(Display* display, int pixel_height);
// The box of `text` in that font: its advance, and the font's ascent and
// descent. 0 x 0 without a font.
TWindowSize LabelTextSize(Display* display, std::string_view text, int pixel_height);

}  // namespace qel
