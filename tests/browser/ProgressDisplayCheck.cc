// Makes the progress display test's pictures and checks screenshots of the
// display against what it must show at 100 % (ProgressScenes.h):
//   progress-display-check pictures FOLDER URL
//       writes the pictures into FOLDER, served at URL, and prints two lines:
//       the element attributes (as a query) of the tinted and the pictured page
//   progress-display-check tinted SHOT.png "LEFT TOP WIDTH HEIGHT" [PPI]
//   progress-display-check pictured SHOT.png "LEFT TOP WIDTH HEIGHT"
//       the box is the element's place in the screenshot; PPI, the screen's
//       pixels per inch, is read from the X server when not given.
// Prints what it found; exit 0 when all holds.
#include <X11/Xlib.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>

#include "PictureFiles.h"
#include "ProgressScenes.h"

namespace {

struct Box {
  int left = 0, top = 0, width = 0, height = 0;
};

int Fail(const std::string& why) {
  std::printf("progress-display-check: FAIL: %s\n", why.c_str());
  return 1;
}

std::string Text(Rgba colour) {
  char text[32];
  std::snprintf(text, sizeof text, "(%d,%d,%d)", colour.r, colour.g, colour.b);
  return text;
}

bool Near(Rgba a, Rgba b, int slack) {
  return std::abs(a.r - b.r) <= slack && std::abs(a.g - b.g) <= slack && std::abs(a.b - b.b) <= slack;
}

int ScreenPpi() {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return 0;
  const int screen = DefaultScreen(display);
  const double ppi = DisplayWidth(display, screen) * 25.4 / DisplayWidthMM(display, screen);
  XCloseDisplay(display);
  return static_cast<int>(std::lround(ppi));
}

int MakePictures(const std::string& folder, const std::string& url) {
  const PicturedScene scene = PicturedPictures();
  if (!WriteJpeg(TintedBackground(), folder + "/progress-tinted.jpg") ||
      !WriteJpeg(scene.background, folder + "/progress-background.jpg") ||
      !WritePng(scene.bar.picture, folder + "/progress-bar.png") ||
      !WritePng(scene.step.picture, folder + "/progress-step.png"))
    return Fail("the pictures could not be written into " + folder);
  std::printf("bgpic=%s/progress-tinted.jpg\n", url.c_str());
  std::printf("bgpic=%s/progress-background.jpg&barpng=%s/progress-bar.png&steppng=%s/progress-step.png"
              "&bar_x=%d&bar_y=%d&step_x=%d&step_y=%d\n",
              url.c_str(), url.c_str(), url.c_str(), scene.bar.x, scene.bar.y, scene.step.x, scene.step.y);
  return 0;
}

// The shot's pixel at a place inside the element, and whether it is what the
// expectation says there.
class ElementView {
 public:
  ElementView(const Picture& shot, const Box& box, const Expectation& expected)
      : shot_(shot), box_(box), expected_(expected) {}
  Rgba At(int x, int y) const { return shot_.at(box_.left + x, box_.top + y); }
  size_t Index(int x, int y) const { return static_cast<size_t>(y) * box_.width + x; }
  bool AsExpected(int x, int y) const {
    const int slack = expected_.tolerance[Index(x, y)];
    return slack < 0 || Near(At(x, y), expected_.colours.at(x, y), slack);
  }

 private:
  const Picture& shot_;
  const Box& box_;
  const Expectation& expected_;
};

struct Label {
  int left = 0, top = 0, right = 0, bottom = 0;  // inclusive
};

// The label is the run of unexpected pixels on its last row around its
// anchor, as high as its left column stays unexpected: a light grey box
// (0xF0F0F0) with dark text in it. `label` is set whenever one was found,
// also when it is out of place.
bool FindLabel(const ElementView& view, const Expectation& expected, int width, Label& label, std::string& why) {
  const int y = expected.label_bottom, anchor = expected.label_anchor;
  if (y < 1 || anchor < 0 || anchor >= width || view.AsExpected(anchor, y)) {
    why = "no label at column " + std::to_string(anchor) + " on row " + std::to_string(y);
    return false;
  }
  label = {anchor, y, anchor, y};
  while (label.left > 0 && !view.AsExpected(label.left - 1, y)) --label.left;
  while (label.right + 1 < width && !view.AsExpected(label.right + 1, y)) ++label.right;
  while (label.top > 0 && !view.AsExpected(label.left, label.top - 1)) --label.top;
  const int label_width = label.right - label.left + 1;
  const int wanted_left = expected.label_centred ? anchor - label_width / 2 : anchor;
  int grey = 0, dark = 0;
  for (int at_y = label.top; at_y <= label.bottom; ++at_y) {
    for (int at_x = label.left; at_x <= label.right; ++at_x) {
      const Rgba pixel = view.At(at_x, at_y);
      if (Near(pixel, Rgba{0xF0, 0xF0, 0xF0, 255}, 0)) ++grey;
      if (pixel.r < 80 && pixel.g < 80 && pixel.b < 80) ++dark;
    }
  }
  std::printf("progress-display-check: label at %d,%d size %dx%d (%d light grey, %d dark pixels)\n", label.left,
              label.top, label_width, label.bottom - label.top + 1, grey, dark);
  if (label.left != wanted_left) {
    why = "the label starts at column " + std::to_string(label.left) + ", expected " + std::to_string(wanted_left);
    return false;
  }
  if (grey == 0 || dark == 0) {
    why = "the label is not dark text on light grey";
    return false;
  }
  return true;
}

// Compares every pixel of the element but the label's and reports, per part
// of the display, how many differ and the first that does.
int Compare(const Picture& shot, const Box& box, const Expectation& expected) {
  if (box.left < 0 || box.top < 0 || box.left + box.width > shot.width || box.top + box.height > shot.height)
    return Fail("the element's box lies outside the " + std::to_string(shot.width) + "x" +
                std::to_string(shot.height) + " screenshot");
  const ElementView view(shot, box, expected);
  int failures = 0;
  Label label{0, 0, -1, -1};  // stays empty when there is no label
  std::string why;
  if (!FindLabel(view, expected, box.width, label, why)) {
    Fail(why);
    ++failures;
  }

  struct Tally {
    int checked = 0, wrong = 0;
    std::string first;
  };
  std::map<std::string, Tally> parts;
  for (int y = 0; y < box.height; ++y) {
    for (int x = 0; x < box.width; ++x) {
      if (x >= label.left && x <= label.right && y >= label.top && y <= label.bottom) continue;
      if (expected.tolerance[view.Index(x, y)] < 0) continue;
      Tally& tally = parts[expected.part[view.Index(x, y)]];
      ++tally.checked;
      if (view.AsExpected(x, y)) continue;
      if (tally.wrong++ == 0)
        tally.first = "at " + std::to_string(x) + "," + std::to_string(y) + " " + Text(view.At(x, y)) +
                      ", expected " + Text(expected.colours.at(x, y)) + " within " +
                      std::to_string(expected.tolerance[view.Index(x, y)]);
    }
  }
  for (const auto& [part, tally] : parts) {
    std::printf("progress-display-check: %s: %d of %d pixels as expected\n", part.c_str(),
                tally.checked - tally.wrong, tally.checked);
    if (tally.wrong > 0) {
      Fail(part + ": " + std::to_string(tally.wrong) + " pixels differ, the first " + tally.first);
      ++failures;
    }
  }
  return failures == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "pictures" && argc == 4) return MakePictures(argv[2], argv[3]);
  if ((command != "tinted" || (argc != 4 && argc != 5)) && (command != "pictured" || argc != 4))
    return Fail("usage: progress-display-check pictures FOLDER URL | tinted SHOT BOX [PPI] | pictured SHOT BOX");

  Box box;
  std::istringstream box_text(argv[3]);
  if (!(box_text >> box.left >> box.top >> box.width >> box.height) || box.width <= 0 || box.height <= 0)
    return Fail(std::string("bad element box \"") + argv[3] + "\"");
  std::string error;
  const auto shot = ReadPng(argv[2], error);
  if (!shot) return Fail(std::string("cannot read ") + argv[2] + ": " + error);

  if (command == "pictured") return Compare(*shot, box, ExpectPictured(box.width, box.height));
  const int ppi = argc == 5 ? std::atoi(argv[4]) : ScreenPpi();
  if (ppi <= 0) return Fail("no screen resolution (no X display?)");
  const BarArea bar = TintedBarArea(box.width, box.height, ppi);
  std::printf("progress-display-check: %d pixels per inch; tinted bar at %d,%d size %dx%d\n", ppi, bar.left,
              bar.top, bar.width, bar.height);
  return Compare(*shot, box, ExpectTinted(box.width, box.height, ppi));
}
