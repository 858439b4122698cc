// The progress display on a form in a window in memory: what its picture
// holds pixel by pixel, and what reaches the screen.
#include <gtest/gtest.h>

#include "FakeWindowSystem.h"
#include "PictureEncoding.h"
#include "TestWindows.h"
#include "launcher/PluginForm.h"
#include "platform/PictureDecoding.h"

namespace qel::test {
namespace {

constexpr TColor kBlack = RgbColor(0, 0, 0);
constexpr TColor kFormGrey = RgbColor(0xF0, 0xF0, 0xF0);

TColor Tinted(TColor pixel) {
  return RgbColor((765 + 2 * RedOf(pixel)) / 5, (765 + 2 * GreenOf(pixel)) / 5, 2 * BlueOf(pixel) / 5);
}

TColor Blended(TColor picture, uint8_t alpha, TColor under) {
  const auto channel = [&](uint8_t p, uint8_t b) { return (alpha * p + (255 - alpha) * b + 255) / 256; };
  return RgbColor(channel(RedOf(picture), RedOf(under)), channel(GreenOf(picture), GreenOf(under)),
                  channel(BlueOf(picture), BlueOf(under)));
}

void Put(TMemoryStream& stream, const std::vector<uint8_t>& bytes) {
  stream.Write(bytes.data(), static_cast<int32_t>(bytes.size()));
}

// A JPEG with a different colour in every 8 x 8 block, so that stretching
// and tinting show where each pixel came from.
std::vector<uint8_t> BlockyJpeg(int width, int height) {
  TJpegPicture jpeg{width, height, TJpegColors::Rgb};
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      jpeg.Samples.insert(jpeg.Samples.end(), {uint8_t(x / 8 * 7), uint8_t(y / 8 * 11), uint8_t(x / 8 + y / 8)});
  return EncodeJpeg(jpeg);
}

// One colour and alpha over the whole picture.
std::vector<uint8_t> FlatPng(int width, int height, TColor color, uint8_t alpha) {
  TPngPicture png{width, height, TPngColors::Rgba};
  for (int i = 0; i < width * height; ++i)
    png.Rows.insert(png.Rows.end(), {RedOf(color), GreenOf(color), BlueOf(color), alpha});
  return EncodePng(png);
}

class ProgressDisplayTest : public ::testing::Test {
 protected:
  void Place(int32_t width, int32_t height) {
    const TWindowHandle parent = windows.CreatePlainWindow(0, 0, 0, width, height);
    form.SetBounds(0, 0, width, height);
    form.SetParentWindow(parent);
    form.SetVisible(true);
    form.imgBG.Bounds = TRect::OfSize(0, 0, 1024, 768);
  }
  const TBitmap& Picture() { return *form.imgBG.Picture; }
  const TBitmap& Screen() { return windows.Screens.at(form.Handle()); }
  void Background(const std::vector<uint8_t>& jpeg) {
    TMemoryStream stream;
    Put(stream, jpeg);
    form.SetBackgroundImage(stream);
  }

  // The form listens for the game's messages under its window's handle,
  // which must not clash with another test process's, and on Windows must
  // be a real window of this thread.
  TFakeWindowSystem windows{UniqueWindow};
  TfrmPlugin form{windows};
};

TEST_F(ProgressDisplayTest, TintedBarSitsInTheMiddleOfTheLowerFifthAndScalesWithTheScreen) {
  windows.PixelsPerInch = 96;
  Place(500, 400);
  form.ShowProgress(true, pmTinted);
  EXPECT_EQ(form.imgBar.Bounds, TRect::OfSize(75, 320, 350, 16));
  // A 10-pixel font at 96 ppi; the label sits 4 pixels above the bar.
  EXPECT_EQ(form.LabelBounds(), TRect::OfSize(238, 320 - 10 - 4, 2 * TFakeWindowSystem::kCharWidth, 10));
  EXPECT_EQ(Screen().Pixel(100, 100), kBlack);
  EXPECT_EQ(Screen().Pixel(240, 310), kFormGrey);  // the label's box
  EXPECT_EQ(windows.Texts.back().Text, "0%");
}

TEST_F(ProgressDisplayTest, TintedStripFollowsRisesOnlyAndEachStepPaintsOnlyWhatChanged) {
  Place(500, 400);
  form.ShowProgress(true, pmTinted);
  form.SetProgress(50);  // bar 350 wide from 75: columns 75..249
  EXPECT_EQ(Picture().Pixel(75, 320), RgbColor(153, 153, 0));
  EXPECT_EQ(Picture().Pixel(249, 339), RgbColor(153, 153, 0));
  EXPECT_EQ(Picture().Pixel(250, 330), kBlack);
  EXPECT_EQ(Picture().Pixel(100, 340), kBlack);

  windows.Paints.clear();
  form.SetProgress(40);
  EXPECT_EQ(form.lbStep.Caption, "40%");
  EXPECT_EQ(Picture().Pixel(240, 330), RgbColor(153, 153, 0));
  form.SetProgress(50);  // 215..249 tinted a second time
  EXPECT_EQ(Picture().Pixel(215, 330), Tinted(RgbColor(153, 153, 0)));
  EXPECT_EQ(Picture().Pixel(214, 330), RgbColor(153, 153, 0));
  EXPECT_EQ(Screen().Pixel(215, 330), Tinted(RgbColor(153, 153, 0)));
  for (const auto& paint : windows.Paints)
    EXPECT_TRUE(paint.Area == TRect(215, 320, 250, 340) || paint.Area == form.LabelBounds())
        << paint.Area.Left << "," << paint.Area.Top << " " << paint.Area.Width() << "x" << paint.Area.Height();

  form.SetProgress(150);
  EXPECT_EQ(form.lbStep.Caption, "100%");
  EXPECT_EQ(Picture().Pixel(424, 330), Tinted(kBlack));
  EXPECT_EQ(Picture().Pixel(425, 330), kBlack);
  form.SetProgress(-3);
  EXPECT_EQ(form.lbStep.Caption, "0%");
}

TEST_F(ProgressDisplayTest, BackgroundIsStretchedAndTheProgressSoFarTintedAgainOnIt) {
  Place(500, 400);
  form.ShowProgress(true, pmTinted);
  form.SetProgress(50);
  const std::vector<uint8_t> jpeg = BlockyJpeg(512, 384);  // half of 1024 x 768
  Background(jpeg);
  TMemoryStream stream;
  Put(stream, jpeg);
  const TBitmap decoded = DecodeJpeg(stream.Bytes())->Colors;
  // The strip 75..250 x 320..340 at half scale: 37..125 x 160..170.
  EXPECT_EQ(Picture().Pixel(37, 160), Tinted(decoded.Pixel(37, 160)));
  EXPECT_EQ(Picture().Pixel(124, 169), Tinted(decoded.Pixel(124, 169)));
  EXPECT_EQ(Picture().Pixel(36, 160), decoded.Pixel(36, 160));
  EXPECT_EQ(Picture().Pixel(125, 165), decoded.Pixel(125, 165));
  EXPECT_EQ(Picture().Pixel(40, 170), decoded.Pixel(40, 170));
  for (const auto& [x, y] : {std::pair{0, 0}, {75, 321}, {301, 77}, {499, 399}})
    EXPECT_EQ(Screen().Pixel(x, y), Picture().Pixel(x / 2, y / 2)) << x << "," << y;

  // A damaged picture changes nothing.
  std::vector<uint8_t> cut(jpeg.begin(), jpeg.begin() + static_cast<long>(jpeg.size() / 2));
  Background(cut);
  EXPECT_EQ(Picture().Width(), 512);
  EXPECT_EQ(Picture().Pixel(37, 160), Tinted(decoded.Pixel(37, 160)));
}

TEST_F(ProgressDisplayTest, PicturesAreComposedWhenTheLastArrivesWithTheProgressReachedSoFar) {
  Place(1100, 800);
  form.ShowProgress(true, pmImages);
  form.SetProgress(37);
  EXPECT_EQ(Screen().Pixel(5, 5), kBlack);
  EXPECT_EQ(Screen().Pixel(1050, 5), kFormGrey);  // beyond the 1024 x 768 picture

  constexpr TColor kBar = RgbColor(200, 40, 40);
  constexpr TColor kStep = RgbColor(20, 220, 60);
  TMemoryStream step, bar;
  Put(step, FlatPng(200, 10, kStep, 255));
  Put(bar, FlatPng(200, 20, kBar, 128));
  form.SetStepImage(step, 50, 105);
  const std::vector<uint8_t> jpeg = BlockyJpeg(300, 200);
  Background(jpeg);
  EXPECT_FALSE(form.Composed());
  form.SetBarImage(bar, 50, 100);
  ASSERT_TRUE(form.Composed());

  TMemoryStream stream;
  Put(stream, jpeg);
  const TBitmap decoded = DecodeJpeg(stream.Bytes())->Colors;
  EXPECT_EQ(Picture().Pixel(299, 199), decoded.Pixel(299, 199));
  EXPECT_EQ(Picture().Pixel(300, 10), kBlack);
  // 37% of 200 pixels: the step's left 74 columns over the blended bar.
  EXPECT_EQ(Picture().Pixel(50, 105), kStep);
  EXPECT_EQ(Picture().Pixel(123, 114), kStep);
  EXPECT_EQ(Picture().Pixel(124, 105), Blended(kBar, 128, decoded.Pixel(124, 105)));
  EXPECT_EQ(Picture().Pixel(249, 100), Blended(kBar, 128, decoded.Pixel(249, 100)));
  EXPECT_EQ(Screen().Pixel(123, 114), kStep);
  // The label centred over the bar, 4 pixels above it.
  EXPECT_EQ(form.lbStep.Caption, "37%");
  EXPECT_EQ(form.LabelBounds(), TRect::OfSize(150 - 21 / 2, 100 - 4 - 13, 21, 13));

  windows.Paints.clear();
  form.SetProgress(50);
  EXPECT_EQ(Picture().Pixel(149, 110), kStep);
  EXPECT_EQ(Picture().Pixel(150, 110), Blended(kBar, 128, decoded.Pixel(150, 110)));
  EXPECT_EQ(windows.Paints.back().Area, TRect(124, 105, 150, 115));
  windows.Paints.clear();
  form.SetProgress(50);  // as every tick does: nothing to paint
  EXPECT_TRUE(windows.Paints.empty());
  form.SetProgress(10);  // the empty bar is restored first
  EXPECT_EQ(Picture().Pixel(100, 110), Blended(kBar, 128, decoded.Pixel(100, 110)));
}

TEST_F(ProgressDisplayTest, StepWithoutAlphaIsSqueezedIntoTheReachedWidth) {
  Place(640, 480);
  form.ShowProgress(true, pmImages);
  TPngPicture halves{100, 1, TPngColors::Rgb};
  for (int x = 0; x < 100; ++x) halves.Rows.insert(halves.Rows.end(), {uint8_t(x < 50 ? 255 : 0), 0, uint8_t(x < 50 ? 0 : 255)});
  TMemoryStream step, bar;
  Put(step, EncodePng(halves));
  Put(bar, FlatPng(100, 1, kBlack, 255));
  form.SetStepImage(step, 0, 0);
  form.SetBarImage(bar, 0, 0);
  Background(BlockyJpeg(16, 16));
  form.SetProgress(50);
  EXPECT_EQ(Picture().Pixel(24, 0), RgbColor(255, 0, 0));
  EXPECT_EQ(Picture().Pixel(25, 0), RgbColor(0, 0, 255));
  EXPECT_EQ(Picture().Pixel(50, 0), kBlack);
}

TEST_F(ProgressDisplayTest, HidingAtFullProgressReleasesThePicturesButKeepsWhatShows) {
  Place(640, 480);
  form.ShowProgress(true, pmImages);
  TMemoryStream bar;
  Put(bar, FlatPng(10, 10, kBlack, 255));
  form.SetBarImage(bar, 0, 0);
  form.SetProgress(99);
  form.ShowProgress(false, pmHidden);
  EXPECT_TRUE(form.HoldsPictures());
  form.ShowProgress(true, pmImages);
  form.SetProgress(100);
  form.ShowProgress(false, pmHidden);
  EXPECT_FALSE(form.HoldsPictures());
  EXPECT_TRUE(form.imgBG.Picture);
  EXPECT_FALSE(form.lbStep.Visible);
  EXPECT_EQ(Screen().Pixel(5, 5), kFormGrey);
}

}  // namespace
}  // namespace qel::test
