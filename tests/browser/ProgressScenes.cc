#include "ProgressScenes.h"

#include <algorithm>

namespace {

// The display's field: the background picture control's size.
constexpr int kFieldWidth = 1024, kFieldHeight = 768;
// How far a colour that went through a JPEG file may stray.
constexpr int kJpegSlack = 4;
constexpr int kDontCare = -1;

constexpr Rgba kBlack{0, 0, 0, 255};
constexpr Rgba kBands[] = {{40, 60, 150, 255}, {170, 40, 60, 255}, {40, 140, 70, 255}, {110, 70, 170, 255}};
constexpr int kBandWidth = kFieldWidth / 4;

constexpr Rgba kPicturedBackground{30, 90, 160, 255};
constexpr Rgba kCornerMark{200, 170, 40, 255};
constexpr int kCornerMarkSide = 64;

// The tint that marks progress: yellow, three parts to the pixel's two.
Rgba Tinted(Rgba pixel) {
  return Rgba{static_cast<uint8_t>((765 + 2 * pixel.r) / 5), static_cast<uint8_t>((765 + 2 * pixel.g) / 5),
              static_cast<uint8_t>(2 * pixel.b / 5), 255};
}

Rgba Blended(Rgba over, Rgba under) {
  const auto channel = [a = over.a](int p, int b) { return static_cast<uint8_t>((a * p + (255 - a) * b + 255) / 256); };
  return Rgba{channel(over.r, under.r), channel(over.g, under.g), channel(over.b, under.b), 255};
}

void FillRect(Picture& picture, int left, int top, int width, int height, Rgba colour) {
  for (int y = top; y < top + height; ++y)
    for (int x = left; x < left + width; ++x) picture.at(x, y) = colour;
}

// Draws a placed picture over the expectation: pixels it covers fully are
// exact; the others keep the slack of what lies under them.
void ExpectOver(Expectation& expected, const PlacedPicture& placed, const char* what) {
  for (int y = 0; y < placed.picture.height; ++y) {
    for (int x = 0; x < placed.picture.width; ++x) {
      const int at_x = placed.x + x, at_y = placed.y + y;
      if (at_x >= expected.colours.width || at_y >= expected.colours.height) continue;
      const size_t index = static_cast<size_t>(at_y) * expected.colours.width + at_x;
      const Rgba over = placed.picture.at(x, y);
      const int slack = over.a == 255 ? 0 : expected.tolerance[index];
      expected.Set(at_x, at_y, Blended(over, expected.colours.at(at_x, at_y)), slack,
                   over.a == 0 ? expected.part[index] : what);
    }
  }
}

Expectation Blank(int width, int height) {
  Expectation expected;
  expected.colours = Picture(width, height, kBlack);
  expected.tolerance.assign(expected.colours.pixels.size(), kDontCare);
  expected.part.assign(expected.colours.pixels.size(), "beyond the 1024 x 768 field");
  return expected;
}

}  // namespace

void Expectation::Set(int x, int y, Rgba colour, int slack, const char* what) {
  const size_t index = static_cast<size_t>(y) * colours.width + x;
  colours.pixels[index] = colour;
  tolerance[index] = slack;
  part[index] = what;
}

Picture TintedBackground() {
  Picture picture(kFieldWidth, kFieldHeight, kBlack);
  for (int band = 0; band < 4; ++band) FillRect(picture, band * kBandWidth, 0, kBandWidth, kFieldHeight, kBands[band]);
  return picture;
}

PicturedScene PicturedPictures() {
  PicturedScene scene;
  scene.background = Picture(640, 400, kPicturedBackground);
  FillRect(scene.background, 0, 0, kCornerMarkSide, kCornerMarkSide, kCornerMark);

  // The bar reaches past the background's right edge onto the black field:
  // a see-through left margin, a half-transparent white top and an opaque body.
  scene.bar = {400, 300, Picture(320, 48, Rgba{20, 200, 20, 255})};
  FillRect(scene.bar.picture, 8, 0, 312, 8, Rgba{255, 255, 255, 128});
  FillRect(scene.bar.picture, 0, 0, 8, 48, Rgba{255, 0, 0, 0});

  // The step lies on the bar's body; its last columns are half transparent.
  scene.step = {460, 316, Picture(200, 24, Rgba{250, 200, 0, 255})};
  FillRect(scene.step.picture, 190, 0, 10, 24, Rgba{255, 0, 255, 128});
  return scene;
}

BarArea TintedBarArea(int width, int height, int ppi) {
  BarArea bar;
  bar.width = width * 7 / 10;
  bar.left = (width - bar.width) / 2;
  bar.top = height * 4 / 5;
  // The bar's design height of 20 pixels is for 120 pixels per inch, scaled
  // to the screen with rounding.
  bar.height = (20 * ppi + 60) / 120;
  return bar;
}

Expectation ExpectTinted(int width, int height, int ppi) {
  Expectation expected = Blank(width, height);
  const Picture background = TintedBackground();
  const BarArea bar = TintedBarArea(width, height, ppi);
  for (int y = 0; y < std::min(height, kFieldHeight); ++y) {
    for (int x = 0; x < std::min(width, kFieldWidth); ++x) {
      const bool in_bar = x >= bar.left && x < bar.left + bar.width && y >= bar.top && y < bar.top + bar.height;
      const Rgba under = background.at(x, y);
      if (in_bar) {
        expected.Set(x, y, Tinted(under), kJpegSlack, "tinted bar");
      } else {
        expected.Set(x, y, under, kJpegSlack, "background");
      }
    }
  }
  expected.label_bottom = bar.top - 5;
  expected.label_anchor = bar.left + bar.width / 2 - 12;
  expected.label_centred = false;
  return expected;
}

Expectation ExpectPictured(int width, int height) {
  Expectation expected = Blank(width, height);
  const PicturedScene scene = PicturedPictures();
  for (int y = 0; y < std::min(height, kFieldHeight); ++y) {
    for (int x = 0; x < std::min(width, kFieldWidth); ++x) {
      if (x < scene.background.width && y < scene.background.height) {
        expected.Set(x, y, scene.background.at(x, y), kJpegSlack, "background");
      } else {
        expected.Set(x, y, kBlack, 0, "black field");
      }
    }
  }
  ExpectOver(expected, scene.bar, "bar picture");
  ExpectOver(expected, scene.step, "step picture");
  expected.label_bottom = scene.bar.y - 5;
  expected.label_anchor = scene.bar.x + scene.bar.picture.width / 2;
  expected.label_centred = true;
  return expected;
}
