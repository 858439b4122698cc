// The progress display at 1024 x 768: one SetProgress step in each mode,
// the composition of the three pictures, and a whole repaint, against a
// plain copy of one 1024 x 768 frame measured in the same run. Painting
// goes to a window in memory, and also to a real X window when there is a
// display. Measures only; nothing is asserted.
//
//   progress_display_bench [benchmark flags]
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "FakeWindowSystem.h"
#include "PictureEncoding.h"
#include "TestWindows.h"
#include "launcher/PluginForm.h"

namespace qel::bench {
namespace {

constexpr int kWidth = 1024;
constexpr int kHeight = 768;

// Forms listen for messages under their window's handle: handles of their
// own keep this clear of test processes running beside it.
test::TFakeWindowSystem WindowsInMemory() {
  return test::TFakeWindowSystem((test::UniqueWindow() & 0xFFFFFFFF0000ull) | 0x10000);
}

std::vector<uint8_t> GradientJpeg() {
  test::TJpegPicture jpeg{kWidth, kHeight, test::TJpegColors::Rgb};
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x)
      jpeg.Samples.insert(jpeg.Samples.end(), {uint8_t(x / 4), uint8_t(y / 3), uint8_t((x + y) / 8)});
  return test::EncodeJpeg(jpeg);
}

std::vector<uint8_t> RoundedPng(int width, int height, uint8_t red, uint8_t green, uint8_t blue) {
  test::TPngPicture png{width, height, test::TPngColors::Rgba};
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const bool edge = x < 4 || y < 4 || x >= width - 4 || y >= height - 4;
      png.Rows.insert(png.Rows.end(), {red, green, blue, uint8_t(edge ? 96 : 255)});
    }
  return test::EncodePng(png);
}

void Fill(TMemoryStream& stream, const std::vector<uint8_t>& bytes) {
  stream.Write(bytes.data(), static_cast<int32_t>(bytes.size()));
}

struct TPictures {
  TMemoryStream Background, Bar, Step;
  TPictures() {
    Fill(Background, GradientJpeg());
    Fill(Bar, RoundedPng(600, 40, 30, 30, 60));
    Fill(Step, RoundedPng(600, 40, 240, 200, 40));
  }
};

const TPictures& Pictures() {
  static const TPictures pictures;
  return pictures;
}

// A form filling a 1024 x 768 window of `windows`, shown in `mode`.
struct TShownForm {
  TShownForm(TWindowSystem& windows, TProgressMode mode) : Form(windows) {
    Parent = windows.CreatePlainWindow(0, 0, 0, kWidth, kHeight);
    Form.SetBounds(0, 0, kWidth, kHeight);
    Form.SetParentWindow(Parent);
    Form.SetVisible(true);
    Form.imgBG.Bounds = TRect::OfSize(0, 0, kWidth, kHeight);
    Form.ShowProgress(true, mode);
  }
  void Compose() {
    Form.SetBackgroundImage(Pictures().Background);
    Form.SetBarImage(Pictures().Bar, 212, 600);
    Form.SetStepImage(Pictures().Step, 212, 600);
  }
  TWindowHandle Parent = 0;
  TfrmPlugin Form;
};

// Percentages 1..100 over and over: every call draws a new strip (the fall
// to 1 repaints the whole bar in pmImages and nothing in pmTinted).
void StepThrough(benchmark::State& state, TfrmPlugin& form) {
  int32_t percent = 0;
  for (auto _ : state) {
    percent = percent % 100 + 1;
    form.SetProgress(percent);
  }
}

void BM_TintedStep(benchmark::State& state) {
  test::TFakeWindowSystem windows = WindowsInMemory();
  TShownForm shown(windows, pmTinted);
  shown.Form.SetBackgroundImage(Pictures().Background);
  StepThrough(state, shown.Form);
}
BENCHMARK(BM_TintedStep);

void BM_PicturedStep(benchmark::State& state) {
  test::TFakeWindowSystem windows = WindowsInMemory();
  TShownForm shown(windows, pmImages);
  shown.Compose();
  StepThrough(state, shown.Form);
}
BENCHMARK(BM_PicturedStep);

// Decoding the three pictures and composing them.
void BM_Composition(benchmark::State& state) {
  test::TFakeWindowSystem windows = WindowsInMemory();
  for (auto _ : state) {
    TShownForm shown(windows, pmImages);
    shown.Compose();
    benchmark::DoNotOptimize(shown.Form.Composed());
  }
}
BENCHMARK(BM_Composition)->Unit(benchmark::kMillisecond);

void BM_WholeRepaint(benchmark::State& state) {
  test::TFakeWindowSystem windows = WindowsInMemory();
  TShownForm shown(windows, pmImages);
  shown.Compose();
  for (auto _ : state) windows.Expose(shown.Form.Handle());
}
BENCHMARK(BM_WholeRepaint)->Unit(benchmark::kMillisecond);

// The same steps painted on a real X window, when there is a display.
void BM_TintedStepOnX11(benchmark::State& state) {
  TWindowSystem& windows = DefaultWindowSystem();
  TShownForm shown(windows, pmTinted);
  if (shown.Form.Handle() == 0) {
    state.SkipWithError("no display");
    return;
  }
  shown.Form.SetBackgroundImage(Pictures().Background);
  StepThrough(state, shown.Form);
  windows.DestroyWindow(shown.Parent);
}
BENCHMARK(BM_TintedStepOnX11);

void BM_PicturedStepOnX11(benchmark::State& state) {
  TWindowSystem& windows = DefaultWindowSystem();
  TShownForm shown(windows, pmImages);
  if (shown.Form.Handle() == 0) {
    state.SkipWithError("no display");
    return;
  }
  shown.Compose();
  StepThrough(state, shown.Form);
  windows.DestroyWindow(shown.Parent);
}
BENCHMARK(BM_PicturedStepOnX11);

// The yardstick: one 1024 x 768 frame of 24-bit pixels copied.
void BM_ReferenceFrameCopy(benchmark::State& state) {
  std::vector<uint8_t> from(size_t{kWidth} * kHeight * 3, 7), to(from.size());
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), from.size());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_ReferenceFrameCopy);

}  // namespace
}  // namespace qel::bench

BENCHMARK_MAIN();
