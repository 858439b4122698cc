// The pictures the progress display test serves and what the display must
// show with them once the workflow is ready (100 %):
// - tinted: a 1024 x 768 background of plain vertical bands (stretched 1:1),
//   the bar area tinted yellow over its whole width;
// - pictured: a background smaller than the 1024 x 768 field, drawn at its own
//   size on black, the bar picture over it (partly over the black field) and
//   the whole step picture over the bar, both blended by their alpha.
// Every colour lies on whole 8 x 8 blocks, so the JPEG pictures come back
// within a few steps; the expected pictures carry a tolerance per pixel.
#pragma once

#include <vector>

#include "PictureFiles.h"

struct PlacedPicture {
  int x = 0, y = 0;
  Picture picture;
};

struct PicturedScene {
  Picture background;
  PlacedPicture bar, step;
};

Picture TintedBackground();
PicturedScene PicturedPictures();

// What the element's area must show, pixel for pixel, and how far each
// pixel may stray (0 for colours that no JPEG went into).
struct Expectation {
  Picture colours;
  std::vector<int> tolerance;
  std::vector<const char*> part;  // which part of the display a pixel belongs to
  // The "100%" label: its last row lies 4 pixels above the bar; its left
  // column is label_anchor, or label_anchor - its width div 2 when centred.
  int label_bottom = 0;
  int label_anchor = 0;
  bool label_centred = false;

  void Set(int x, int y, Rgba colour, int slack, const char* what);
};

// The tinted bar area for an element of this client size on a screen of this
// many pixels per inch.
struct BarArea {
  int left = 0, top = 0, width = 0, height = 0;
};
BarArea TintedBarArea(int width, int height, int ppi);

Expectation ExpectTinted(int width, int height, int ppi);
Expectation ExpectPictured(int width, int height);
