// JPEG and PNG decoding through the Windows Imaging Component, on pictures
// made at build time (TestPictures.h), and COM left on each thread as it was.
#include "platform/PictureDecoding.h"

#include <gtest/gtest.h>
#include <objbase.h>
#include <windows.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <thread>

#include "TestPictures.h"
#include "Wine.h"

namespace qel::test {
namespace {

using TDecoder = std::optional<TPicture> (*)(std::span<const uint8_t>);

testing::AssertionResult Refused(TDecoder decode, std::span<const uint8_t> data) {
  const std::optional<TPicture> picture = decode(data);
  if (!picture) return testing::AssertionSuccess();
  return testing::AssertionFailure() << "decoded a " << picture->Width() << " x " << picture->Height()
                                     << " picture";
}

testing::AssertionResult ColorNear(TColor actual, TColor expected, int tolerance) {
  const auto off = [&](uint8_t (*channel)(TColor)) {
    return std::abs(int{channel(actual)} - int{channel(expected)}) > tolerance;
  };
  if (!off(RedOf) && !off(GreenOf) && !off(BlueOf)) return testing::AssertionSuccess();
  std::ostringstream message;
  message << std::hex << "0x" << actual << " is not within " << std::dec << tolerance << " of 0x"
          << std::hex << expected;
  return testing::AssertionFailure() << message.str();
}

// ---- JPEG

constexpr int kJpegTolerance = 8;
constexpr TColor kSquareColors[4] = {RgbColor(230, 20, 30), RgbColor(20, 210, 40),
                                     RgbColor(30, 40, 220), RgbColor(250, 240, 120)};

// Four 16 x 16 squares; their centres keep their colours through the loss.
void ExpectFourSquares(const std::optional<TPicture>& picture, const TColor (&colors)[4]) {
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture->Width(), 32);
  EXPECT_EQ(picture->Height(), 32);
  EXPECT_FALSE(picture->HasAlpha());
  for (int square = 0; square < 4; ++square)
    EXPECT_TRUE(ColorNear(picture->Colors.Pixel(square % 2 * 16 + 8, square / 2 * 16 + 8),
                          colors[square], kJpegTolerance))
        << "square " << square;
}

TEST(JpegDecodingTest, DecodesBaselineAndProgressiveColoursAsRgb) {
  ExpectFourSquares(DecodeJpeg(TestPicture("SQUARES_JPG")), kSquareColors);
  ExpectFourSquares(DecodeJpeg(TestPicture("SQUARES_PROGRESSIVE_JPG")), kSquareColors);
}

TEST(JpegDecodingTest, DecodesGreyIntoEqualChannels) {
  const std::optional<TPicture> picture = DecodeJpeg(TestPicture("GREY_JPG"));
  ASSERT_TRUE(picture);
  ASSERT_EQ(picture->Width(), 16);
  ASSERT_EQ(picture->Height(), 8);
  for (int x = 0; x < 16; ++x) {
    const TColor color = picture->Colors.Pixel(x, 4);
    EXPECT_EQ(RedOf(color), GreenOf(color));
    EXPECT_EQ(RedOf(color), BlueOf(color));
    EXPECT_NEAR(RedOf(color), x * 16, kJpegTolerance) << "at " << x;
  }
}

// Inverted ink, as Adobe stores it: each colour is its ink times black's.
constexpr TColor kInkColors[4] = {RgbColor(255, 0, 0), RgbColor(0, 255, 0), RgbColor(200, 100, 50),
                                  RgbColor(128, 128, 128)};

TEST(JpegDecodingTest, DecodesAdobeYcckIntoRgb) {
  ExpectFourSquares(DecodeJpeg(TestPicture("YCCK_JPG")), kInkColors);
}

TEST(JpegDecodingTest, DecodesAdobeCmykIntoRgb) {
  if (RunsUnderWine()) GTEST_SKIP() << "Wine's JPEG decoder gets Adobe CMYK without a colour transform wrong";
  ExpectFourSquares(DecodeJpeg(TestPicture("CMYK_JPG")), kInkColors);
}

TEST(JpegDecodingTest, RefusesDataCutShort) {
  for (const char* name : {"SQUARES_JPG", "SQUARES_PROGRESSIVE_JPG"}) {
    const std::vector<uint8_t> jpeg = TestPicture(name);
    const size_t scan = FindJpegScanData(jpeg);
    ASSERT_NE(scan, std::string_view::npos);
    for (size_t size : {size_t{2}, scan / 2, scan, scan + (jpeg.size() - scan) / 2, jpeg.size() - 2})
      EXPECT_TRUE(Refused(DecodeJpeg, std::span(jpeg).first(size))) << name << ", " << size;
  }
}

TEST(JpegDecodingTest, RefusesProgressiveFilesOfHundredsOfScans) {
  EXPECT_TRUE(Refused(DecodeJpeg, TestPicture("SQUARES_190_SCANS_JPG")));
  const std::optional<TPicture> decoded = DecodeJpeg(TestPicture("GREY_64_SCANS_JPG"));
  ASSERT_TRUE(decoded);
  EXPECT_TRUE(ColorNear(decoded->Colors.Pixel(8, 8), RgbColor(90, 90, 90), kJpegTolerance));
}

// The component judges damaged scan data itself and may show the damage;
// whatever it makes of it is a picture of the size the header gave, or none.
TEST(JpegDecodingTest, CorruptScanDataGivesNoPictureOrOneOfTheHeadersSize) {
  for (const char* name : {"SQUARES_JPG", "SQUARES_PROGRESSIVE_JPG"}) {
    std::vector<uint8_t> jpeg = TestPicture(name);
    const size_t scan = FindJpegScanData(jpeg);
    ASSERT_NE(scan, std::string_view::npos);
    // Stuffed 0xFF bytes: a run of one-bits, which is no Huffman code.
    for (size_t i = 0; i < 8; i += 2) {
      jpeg[scan + 8 + i] = 0xFF;
      jpeg[scan + 9 + i] = 0x00;
    }
    const std::optional<TPicture> picture = DecodeJpeg(jpeg);
    if (picture) {
      EXPECT_EQ(picture->Width(), 32) << name;
      EXPECT_EQ(picture->Height(), 32) << name;
    }
  }
}

TEST(JpegDecodingTest, RefusesPicturesBeyondTheLimits) {
  EXPECT_TRUE(Refused(DecodeJpeg, TestPicture("GREY_9000X10_JPG")));
  EXPECT_TRUE(Refused(DecodeJpeg, TestPicture("GREY_10X8193_JPG")));
  EXPECT_TRUE(Refused(DecodeJpeg, TestPicture("GREY_5000X5000_JPG")));
  const std::optional<TPicture> widest = DecodeJpeg(TestPicture("GREY_8192X10_JPG"));
  ASSERT_TRUE(widest);
  EXPECT_EQ(widest->Width(), kMaxPictureSide);
  EXPECT_TRUE(ColorNear(widest->Colors.Pixel(kMaxPictureSide - 1, 9), RgbColor(128, 128, 128), 1));
}

// ---- PNG

// Each pixel of `picture` is the next `channels` samples: red, green, blue,
// alpha (or grey, grey, grey, alpha for one or two channels).
void ExpectExactly(const std::optional<TPicture>& picture, const std::vector<uint8_t>& samples,
                   int channels, bool alpha) {
  ASSERT_TRUE(picture);
  const auto pixels = static_cast<size_t>(picture->Width() * picture->Height());
  ASSERT_EQ(samples.size(), pixels * channels);
  ASSERT_EQ(picture->Alpha.size(), alpha ? pixels : 0);
  const bool grey = channels <= 2;
  for (int y = 0; y < picture->Height(); ++y) {
    for (int x = 0; x < picture->Width(); ++x) {
      const uint8_t* in = samples.data() + (y * picture->Width() + x) * channels;
      const TColor expected = grey ? RgbColor(in[0], in[0], in[0]) : RgbColor(in[0], in[1], in[2]);
      ASSERT_EQ(picture->Colors.Pixel(x, y), expected) << "at " << x << ", " << y;
      if (alpha) {
        ASSERT_EQ(picture->Alpha[y * picture->Width() + x], in[channels - 1]) << "at " << x << ", " << y;
      }
    }
  }
}

TEST(PngDecodingTest, GivesRgbaBackByteForByte) {
  std::vector<uint8_t> rgba = Samples(7 * 5 * 4);
  // Colour under no alpha at all must survive: nothing is premultiplied.
  rgba[3] = 0;
  rgba[7] = 1;
  rgba[11] = 255;
  ExpectExactly(DecodePng(TestPicture("RGBA_PNG")), rgba, 4, true);
  ExpectExactly(DecodePng(TestPicture("RGBA_ADAM7_PNG")), rgba, 4, true);
}

TEST(PngDecodingTest, GivesRgbBackWithoutAlphaAndLeavesSrgbGammaAlone) {
  const std::vector<uint8_t> rgb = Samples(6 * 4 * 3);
  ExpectExactly(DecodePng(TestPicture("RGB_PNG")), rgb, 3, false);
  ExpectExactly(DecodePng(TestPicture("RGB_GAMMA_PNG")), rgb, 3, false);
}

TEST(PngDecodingTest, KeepsTransparencyFromATrnsChunk) {
  // Palette entries 0 and 1 have alpha 0 and 128; the others are opaque.
  const std::vector<uint8_t> rgba = {255, 0, 0, 0, 0, 255, 0, 128, 0, 0, 255, 255, 9, 8, 7, 255,
                                     9,   8, 7, 255, 0, 0, 255, 255, 0, 255, 0, 128, 255, 0, 0, 0};
  ExpectExactly(DecodePng(TestPicture("PALETTE_ALPHA_PNG")), rgba, 4, true);
  const std::optional<TPicture> opaque = DecodePng(TestPicture("PALETTE_PNG"));
  ASSERT_TRUE(opaque);
  EXPECT_FALSE(opaque->HasAlpha());
  EXPECT_EQ(opaque->Colors.Pixel(3, 0), RgbColor(9, 8, 7));
  // A true-colour picture whose first pixel has the transparent colour.
  ExpectExactly(DecodePng(TestPicture("RGB_TRANSPARENT_PNG")), {10, 20, 30, 0, 40, 50, 60, 255}, 4,
                true);
}

TEST(PngDecodingTest, ScalesSixteenBitSamplesToEight) {
  const std::vector<uint8_t> eight = {128, 0, 255, 255, 7, 200, 64, 128};  // two RGBA pixels
  ExpectExactly(DecodePng(TestPicture("RGBA16_PNG")), eight, 4, true);
  ExpectExactly(DecodePng(TestPicture("RGB16_PNG")), {128, 0, 255}, 3, false);
}

TEST(PngDecodingTest, SpreadsGreyOverAllChannels) {
  ExpectExactly(DecodePng(TestPicture("GREY_PNG")), Samples(5 * 3), 1, false);
  ExpectExactly(DecodePng(TestPicture("GREY_ALPHA_PNG")), Samples(5 * 3 * 2), 2, true);
}

// Large pictures are converted a strip of rows at a time: every row must
// land in its place, the last short strip too.
TEST(PngDecodingTest, PutsEveryRowOfALargePictureInItsPlace) {
  const std::optional<TPicture> picture = DecodePng(TestPicture("ROWS_4096X300_PNG"));
  ASSERT_TRUE(picture);
  ASSERT_EQ(picture->Width(), 4096);
  ASSERT_EQ(picture->Height(), 300);
  for (int y = 0; y < 300; ++y) {
    for (int x : {0, 511, 512, 4095}) {
      const auto grey = static_cast<uint8_t>(y * 7 + x / 512);
      ASSERT_EQ(picture->Colors.Pixel(x, y), RgbColor(grey, grey, grey)) << "at " << x << ", " << y;
    }
  }
}

TEST(PngDecodingTest, RefusesTruncatedData) {
  const std::vector<uint8_t> png = TestPicture("RGBA_PNG");
  const size_t idat = FindPngChunk(png, "IDAT");
  ASSERT_NE(idat, std::string_view::npos);
  for (size_t size : {size_t{20}, idat + 8 + 10, idat + 8 + 30})
    EXPECT_TRUE(Refused(DecodePng, std::span(png).first(size))) << size << " of " << png.size();
}

TEST(PngDecodingTest, RefusesABadChecksumInIhdrOrIdat) {
  for (const char* chunk : {"IHDR", "IDAT"}) {
    std::vector<uint8_t> png = TestPicture("RGBA_PNG");
    const size_t offset = FindPngChunk(png, chunk);
    ASSERT_NE(offset, std::string_view::npos);
    png[offset + 8] ^= 0x01;  // first data byte, checksum left as it was
    EXPECT_TRUE(Refused(DecodePng, png)) << chunk;
  }
}

TEST(PngDecodingTest, RefusesZeroWidthAndPicturesBeyondTheLimits) {
  EXPECT_TRUE(Refused(DecodePng, TestPicture("ZERO_WIDTH_PNG")));
  EXPECT_TRUE(Refused(DecodePng, TestPicture("BLANK_9000X10_PNG")));
  EXPECT_TRUE(Refused(DecodePng, TestPicture("BLANK_10X8193_PNG")));
  EXPECT_TRUE(Refused(DecodePng, TestPicture("BLANK_5000X5000_PNG")));
  const std::optional<TPicture> widest = DecodePng(TestPicture("BLANK_8192X10_PNG"));
  ASSERT_TRUE(widest);
  EXPECT_EQ(widest->Width(), kMaxPictureSide);
}

// ---- Both

TEST(PictureDecodingTest, RefusesWhatIsNoPictureOfItsKind) {
  const std::string_view page = "<html><body>Not found</body></html>";
  const std::span text(reinterpret_cast<const uint8_t*>(page.data()), page.size());
  for (TDecoder decode : {DecodeJpeg, DecodePng}) {
    EXPECT_TRUE(Refused(decode, {}));
    EXPECT_TRUE(Refused(decode, text));
  }
  EXPECT_TRUE(Refused(DecodeJpeg, TestPicture("RGBA_PNG")));
  EXPECT_TRUE(Refused(DecodePng, TestPicture("SQUARES_JPG")));
}

// Runs `body` on a thread of its own, which starts without COM.
template <typename TBody>
void OnNewThread(TBody body) {
  std::thread thread(body);
  thread.join();
}

TEST(PictureDecodingTest, LeavesTheThreadsComAsItFoundIt) {
  OnNewThread([] {
    EXPECT_TRUE(DecodePng(TestPicture("RGB_PNG")));
    // Had COM stayed initialised (apartment-threaded), this would be refused.
    const HRESULT after = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    EXPECT_EQ(after, S_OK);
    if (SUCCEEDED(after)) CoUninitialize();
  });
  OnNewThread([] {
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    EXPECT_TRUE(DecodeJpeg(TestPicture("SQUARES_JPG")));
    // Still the one initialisation of this thread's own, undone once.
    CoUninitialize();
    const HRESULT after = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    EXPECT_EQ(after, S_OK);
    if (SUCCEEDED(after)) CoUninitialize();
  });
  OnNewThread([] {
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    EXPECT_TRUE(DecodePng(TestPicture("RGBA_PNG")));
    CoUninitialize();
    const HRESULT after = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    EXPECT_EQ(after, S_OK);
    if (SUCCEEDED(after)) CoUninitialize();
  });
}

}  // namespace
}  // namespace qel::test
