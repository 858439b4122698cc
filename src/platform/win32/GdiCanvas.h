// Drawing on a device context with GDI: the canvas a window's paint handler
// is given, and the label font both the canvas and text measuring use.
#pragma once

#include <windows.h>

#include <string_view>

#include "platform/NativeWindows.h"

namespace qel {

// The label font of `pixel_height` pixels, kept for the process's life;
// null when GDI cannot make it.
HFONT LabelFont(int32_t pixel_height);
// The size of `text` in the label font, measured on `dc`.
TWindowSize LabelTextSize(HDC dc, std::string_view text, int32_t pixel_height);

// Draws on a device context it does not own; the context's font, colours and
// brush are as before once the canvas is gone.
class TGdiCanvas final : public TWindowCanvas {
 public:
  explicit TGdiCanvas(HDC dc);
  ~TGdiCanvas() override;
  TGdiCanvas(const TGdiCanvas&) = delete;
  TGdiCanvas& operator=(const TGdiCanvas&) = delete;

  void DrawBitmap(int32_t x, int32_t y, const TBitmap& bitmap, const TRect& area) override;
  void FillRect(const TRect& rect, TColor color) override;
  void DrawLabel(int32_t x, int32_t y, std::string_view text, int32_t font_height, TColor color,
                 TColor background) override;

 private:
  HDC Dc_;
  int SavedState_;
};

}  // namespace qel
