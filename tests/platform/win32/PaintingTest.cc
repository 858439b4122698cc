#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <stdexcept>
#include <vector>

#include "TestWindows.h"
#include "platform/NativeWindows.h"
#include "platform/win32/GdiCanvas.h"

namespace qel::test {
namespace {

constexpr TColor kRed = RgbColor(200, 10, 20);
constexpr TColor kBlue = RgbColor(5, 30, 220);
constexpr TColor kGrey = RgbColor(90, 90, 90);

// A 32-bit DIB section selected into a memory DC: what is drawn on the DC
// can be read back pixel by pixel.
class TPixelSurface {
 public:
  TPixelSurface(int width, int height) : Width_(width), Dc_(CreateCompatibleDC(nullptr)) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    Bitmap_ = CreateDIBSection(Dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    Bits_ = static_cast<uint32_t*>(bits);
    Previous_ = SelectObject(Dc_, Bitmap_);
  }
  ~TPixelSurface() {
    SelectObject(Dc_, Previous_);
    DeleteObject(Bitmap_);
    DeleteDC(Dc_);
  }
  TPixelSurface(const TPixelSurface&) = delete;
  TPixelSurface& operator=(const TPixelSurface&) = delete;

  HDC Dc() const { return Dc_; }
  bool Ready() const { return Bits_ != nullptr; }
  TColor At(int x, int y) const {
    GdiFlush();
    const uint32_t bgrx = Bits_[y * Width_ + x];
    return RgbColor(static_cast<uint8_t>(bgrx >> 16), static_cast<uint8_t>(bgrx >> 8), static_cast<uint8_t>(bgrx));
  }
  void Fill(TColor color) {
    TGdiCanvas canvas(Dc_);
    canvas.FillRect({0, 0, Width_, 1000}, color);
  }

 private:
  int Width_;
  HDC Dc_;
  HBITMAP Bitmap_ = nullptr;
  HGDIOBJ Previous_ = nullptr;
  uint32_t* Bits_ = nullptr;
};

// Each pixel a colour of its own, so that a shifted row shows.
TBitmap Gradient(int32_t width, int32_t height) {
  TBitmap bitmap(width, height);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x)
      bitmap.SetPixel(x, y, RgbColor(static_cast<uint8_t>(x * 9), static_cast<uint8_t>(y * 11), 77));
  return bitmap;
}

// Widths whose rows are padded in a DIB (5, 7) and one whose are not (4).
class BitmapDrawingTest : public ::testing::TestWithParam<int32_t> {};

TEST_P(BitmapDrawingTest, TheAreaLandsAtThePlaceAskedAndNothingElseChanges) {
  const int32_t width = GetParam();
  const TBitmap bitmap = Gradient(width, 6);
  TPixelSurface surface(40, 30);
  ASSERT_TRUE(surface.Ready());
  surface.Fill(kGrey);
  {
    TGdiCanvas canvas(surface.Dc());
    // Rows 1 to 4 from column 1; the area reaches past the bitmap's right
    // edge, which is cut.
    canvas.DrawBitmap(10, 12, bitmap, {1, 1, width + 3, 5});
  }
  for (int32_t y = 0; y < 30; ++y)
    for (int32_t x = 0; x < 40; ++x) {
      const bool inside = x >= 10 && x < 10 + width - 1 && y >= 12 && y < 16;
      const TColor expected = inside ? bitmap.Pixel(x - 10 + 1, y - 12 + 1) : kGrey;
      ASSERT_EQ(surface.At(x, y), expected) << "at " << x << ", " << y;
    }
}

INSTANTIATE_TEST_SUITE_P(RowLayouts, BitmapDrawingTest, ::testing::Values(4, 5, 7));

TEST(GdiCanvasTest, FillsAndLabelsStayInTheirBoxes) {
  TPixelSurface surface(200, 60);
  surface.Fill(kGrey);
  const TWindowSize box = DefaultWindowSystem().TextExtent("88%", 16);
  ASSERT_GT(box.Width, 0);
  {
    TGdiCanvas canvas(surface.Dc());
    canvas.FillRect({2, 3, 6, 5}, kRed);
    canvas.DrawLabel(50, 10, "88%", 16, kBlue, RgbColor(255, 255, 255));
  }
  EXPECT_EQ(surface.At(2, 3), kRed);
  EXPECT_EQ(surface.At(5, 4), kRed);
  EXPECT_EQ(surface.At(6, 4), kGrey);
  EXPECT_EQ(surface.At(5, 5), kGrey);

  int text_pixels = 0;
  int background_pixels = 0;
  for (int y = 0; y < 60; ++y)
    for (int x = 0; x < 200; ++x) {
      const TColor color = surface.At(x, y);
      const bool in_box = x >= 50 && x < 50 + box.Width && y >= 10 && y < 10 + box.Height;
      const bool in_fill = x >= 2 && x < 6 && y >= 3 && y < 5;
      if (in_fill) continue;
      if (!in_box) {
        ASSERT_EQ(color, kGrey) << "at " << x << ", " << y;
        continue;
      }
      if (color == kBlue) ++text_pixels;
      if (color == RgbColor(255, 255, 255)) ++background_pixels;
    }
  EXPECT_GT(text_pixels, 0);
  EXPECT_GT(background_pixels, text_pixels);
}

// Windows painted through their handler.
class WindowPaintingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveDisplay()) GTEST_SKIP() << "no display to make windows on (run under xvfb-run)";
    window = windows.CreatePlainWindow(0, 0, 0, 64, 48);
    ASSERT_NE(window, 0u);
    PumpMessages();  // the first paint, without a handler
  }
  void TearDown() override {
    if (window != 0) windows.DestroyWindow(window);
  }

  // The window's pixel as the screen shows it.
  TColor ScreenPixel(int x, int y) {
    HDC dc = GetDC(reinterpret_cast<HWND>(window));
    const COLORREF pixel = GetPixel(dc, x, y);
    ReleaseDC(reinterpret_cast<HWND>(window), dc);
    return pixel;
  }

  TWindowSystem& windows = DefaultWindowSystem();
  TWindowHandle window = 0;
};

TEST_F(WindowPaintingTest, RepaintHandsTheHandlerTheAreaWithinTheWindow) {
  std::vector<TRect> areas;
  windows.SetPaintHandler(window, [&](TWindowCanvas& canvas, const TRect& area) {
    areas.push_back(area);
    canvas.FillRect(area, kRed);
  });
  PumpMessages();
  areas.clear();
  windows.Repaint(window, {10, 20, 30, 90});
  ASSERT_EQ(areas.size(), 1u);
  EXPECT_EQ(areas[0], (TRect{10, 20, 30, 48}));

  windows.Repaint(window, {70, 0, 80, 10});  // outside: nothing to paint
  EXPECT_EQ(areas.size(), 1u);
  windows.SetPaintHandler(window, {});
  windows.Repaint(window, {0, 0, 10, 10});
  EXPECT_EQ(areas.size(), 1u);
}

TEST_F(WindowPaintingTest, WhatTheHandlerDrawsIsOnTheWindowAndNotClearedFirst) {
  TColor fill = kRed;
  windows.SetPaintHandler(window, [&](TWindowCanvas& canvas, const TRect& area) { canvas.FillRect(area, fill); });
  windows.Repaint(window, {0, 0, 64, 48});
  if (ScreenPixel(5, 5) == CLR_INVALID) GTEST_SKIP() << "no screen to read back from (run under xvfb-run)";
  EXPECT_EQ(ScreenPixel(5, 5), kRed);
  EXPECT_EQ(ScreenPixel(63, 47), kRed);
  // The system asks for an erased background; the window keeps its picture
  // and only the handler paints, here only a part.
  fill = kBlue;
  windows.SetPaintHandler(window, [&](TWindowCanvas& canvas, const TRect&) {
    canvas.FillRect({0, 0, 10, 10}, fill);
  });
  InvalidateRect(reinterpret_cast<HWND>(window), nullptr, TRUE);
  UpdateWindow(reinterpret_cast<HWND>(window));
  EXPECT_EQ(ScreenPixel(5, 5), kBlue);
  EXPECT_EQ(ScreenPixel(40, 40), kRed);
}

TEST_F(WindowPaintingTest, AFailingHandlerDoesNotLeaveTheWindowProcedure) {
  int calls = 0;
  windows.SetPaintHandler(window, [&](TWindowCanvas&, const TRect&) {
    ++calls;
    throw std::runtime_error("paint failed on purpose");
  });
  windows.Repaint(window, {0, 0, 5, 5});
  windows.Repaint(window, {0, 0, 5, 5});
  EXPECT_EQ(calls, 2);
  EXPECT_TRUE(windows.IsWindow(window));
}

}  // namespace
}  // namespace qel::test
