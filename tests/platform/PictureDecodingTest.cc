#include "platform/PictureDecoding.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <string_view>

#include "PictureEncoding.h"

namespace qel {
namespace {

using test::TJpegColors;
using test::TJpegPicture;
using test::TPngColors;
using test::TPngPicture;
using TDecoder = std::optional<TPicture> (*)(std::span<const uint8_t>);

// Every decoding is watched: inside a browser a decoder must print nothing,
// whether it succeeds or refuses.
std::optional<TPicture> DecodeQuietly(TDecoder decode, std::span<const uint8_t> data) {
  testing::internal::CaptureStderr();
  std::optional<TPicture> picture = decode(data);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  return picture;
}

testing::AssertionResult Refused(TDecoder decode, std::span<const uint8_t> data) {
  const std::optional<TPicture> picture = DecodeQuietly(decode, data);
  if (!picture) return testing::AssertionSuccess();
  return testing::AssertionFailure() << "decoded a " << picture->Width() << " x " << picture->Height()
                                     << " picture";
}

testing::AssertionResult ColorNear(TColor actual, TColor expected, int tolerance) {
  const auto off = [&](uint8_t (*channel)(TColor)) {
    return std::abs(int{channel(actual)} - int{channel(expected)}) > tolerance;
  };
  if (!off(RedOf) && !off(GreenOf) && !off(BlueOf)) return testing::AssertionSuccess();
  return testing::AssertionFailure() << std::hex << "0x" << actual << " is not within " << std::dec
                                     << tolerance << " of 0x" << std::hex << expected;
}

// ---- JPEG

// Four 16 x 16 squares, one per 4:2:0 block of the colour channels, so that
// their centres keep their colours through JPEG's loss.
constexpr int kSquaresSide = 32;
constexpr TColor kSquareColors[4] = {RgbColor(230, 20, 30), RgbColor(20, 210, 40),
                                     RgbColor(30, 40, 220), RgbColor(250, 240, 120)};
constexpr int kJpegTolerance = 8;

TColor SquareColorAt(int x, int y) { return kSquareColors[(y / 16) * 2 + x / 16]; }

TJpegPicture FourSquares() {
  TJpegPicture picture{kSquaresSide, kSquaresSide, TJpegColors::Rgb, {}};
  for (int y = 0; y < kSquaresSide; ++y) {
    for (int x = 0; x < kSquaresSide; ++x) {
      const TColor color = SquareColorAt(x, y);
      picture.Samples.insert(picture.Samples.end(), {RedOf(color), GreenOf(color), BlueOf(color)});
    }
  }
  return picture;
}

void ExpectFourSquares(const std::optional<TPicture>& picture) {
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture->Width(), kSquaresSide);
  EXPECT_EQ(picture->Height(), kSquaresSide);
  EXPECT_FALSE(picture->HasAlpha());
  for (int y = 8; y < kSquaresSide; y += 16)
    for (int x = 8; x < kSquaresSide; x += 16)
      EXPECT_TRUE(ColorNear(picture->Colors.Pixel(x, y), SquareColorAt(x, y), kJpegTolerance))
          << "at " << x << ", " << y;
}

// A uniform grey picture of any size, encoded from a single row.
std::vector<uint8_t> UniformGreyJpeg(int width, int height) {
  return test::EncodeJpeg({width, height, TJpegColors::Grey, std::vector<uint8_t>(width, 128)});
}

TEST(JpegDecodingTest, DecodesBaselineAndProgressiveColoursAsRgb) {
  TJpegPicture picture = FourSquares();
  ExpectFourSquares(DecodeQuietly(DecodeJpeg, test::EncodeJpeg(picture)));
  picture.Progressive = true;
  ExpectFourSquares(DecodeQuietly(DecodeJpeg, test::EncodeJpeg(picture)));
}

TEST(JpegDecodingTest, DecodesGreyIntoEqualChannels) {
  TJpegPicture grey{16, 8, TJpegColors::Grey, {}};
  for (int i = 0; i < 16 * 8; ++i) grey.Samples.push_back(static_cast<uint8_t>(i % 16 * 16));
  const std::optional<TPicture> picture = DecodeQuietly(DecodeJpeg, test::EncodeJpeg(grey));
  ASSERT_TRUE(picture);
  ASSERT_EQ(picture->Width(), 16);
  for (int x = 0; x < 16; ++x) {
    const TColor color = picture->Colors.Pixel(x, 4);
    EXPECT_EQ(RedOf(color), GreenOf(color));
    EXPECT_EQ(RedOf(color), BlueOf(color));
    EXPECT_NEAR(RedOf(color), x * 16, kJpegTolerance) << "at " << x;
  }
}

TEST(JpegDecodingTest, DecodesAdobeCmykAndYcckIntoRgb) {
  // Inverted ink: red is each colour sample times black's, over 255.
  const uint8_t inks[4][4] = {{255, 0, 0, 255}, {0, 255, 0, 255}, {200, 100, 50, 255},
                              {255, 255, 255, 128}};
  const TColor expected[4] = {RgbColor(255, 0, 0), RgbColor(0, 255, 0), RgbColor(200, 100, 50),
                              RgbColor(128, 128, 128)};
  for (TJpegColors colors : {TJpegColors::Cmyk, TJpegColors::Ycck}) {
    SCOPED_TRACE(colors == TJpegColors::Cmyk ? "CMYK" : "YCCK");
    TJpegPicture picture{kSquaresSide, kSquaresSide, colors, {}};
    for (int y = 0; y < kSquaresSide; ++y)
      for (int x = 0; x < kSquaresSide; ++x)
        picture.Samples.insert(picture.Samples.end(), inks[(y / 16) * 2 + x / 16],
                               inks[(y / 16) * 2 + x / 16] + 4);
    const std::optional<TPicture> decoded = DecodeQuietly(DecodeJpeg, test::EncodeJpeg(picture));
    ASSERT_TRUE(decoded);
    for (int square = 0; square < 4; ++square)
      EXPECT_TRUE(ColorNear(decoded->Colors.Pixel(square % 2 * 16 + 8, square / 2 * 16 + 8),
                            expected[square], kJpegTolerance))
          << "square " << square;
  }
}

TEST(JpegDecodingTest, RefusesAHeaderCutShort) {
  std::vector<uint8_t> jpeg = test::EncodeJpeg(FourSquares());
  const size_t scan = test::FindJpegScanData(jpeg);
  ASSERT_NE(scan, std::string_view::npos);
  jpeg.resize(scan / 2);
  EXPECT_TRUE(Refused(DecodeJpeg, jpeg));
}

TEST(JpegDecodingTest, RefusesScanDataCutShort) {
  for (bool progressive : {false, true}) {
    TJpegPicture picture = FourSquares();
    picture.Progressive = progressive;
    const std::vector<uint8_t> jpeg = test::EncodeJpeg(picture);
    const size_t scan = test::FindJpegScanData(jpeg);
    ASSERT_NE(scan, std::string_view::npos);
    // In the middle of the (first) scan, and only the end marker missing.
    for (size_t size : {scan + (jpeg.size() - scan) / 2, jpeg.size() - 2}) {
      EXPECT_TRUE(Refused(DecodeJpeg, std::span(jpeg).first(size)))
          << (progressive ? "progressive" : "baseline") << ", " << size << " of " << jpeg.size();
    }
  }
}

TEST(JpegDecodingTest, RefusesCorruptScanData) {
  std::vector<uint8_t> jpeg = test::EncodeJpeg(FourSquares());
  const size_t scan = test::FindJpegScanData(jpeg);
  ASSERT_NE(scan, std::string_view::npos);
  // Stuffed 0xFF bytes: a run of one-bits, which is no Huffman code.
  for (size_t i = 0; i < 8; i += 2) {
    jpeg[scan + 8 + i] = 0xFF;
    jpeg[scan + 9 + i] = 0x00;
  }
  EXPECT_TRUE(Refused(DecodeJpeg, jpeg));
}

// The files are complete and valid: only the size check stands between them
// and a picture.
TEST(JpegDecodingTest, RefusesPicturesBeyondTheSideLimit) {
  EXPECT_TRUE(Refused(DecodeJpeg, UniformGreyJpeg(9000, 10)));
  EXPECT_TRUE(Refused(DecodeJpeg, UniformGreyJpeg(10, kMaxPictureSide + 1)));
  const std::optional<TPicture> widest = DecodeQuietly(DecodeJpeg, UniformGreyJpeg(kMaxPictureSide, 10));
  ASSERT_TRUE(widest);
  EXPECT_EQ(widest->Width(), kMaxPictureSide);
}

TEST(JpegDecodingTest, RefusesPicturesBeyondThePixelLimit) {
  EXPECT_TRUE(Refused(DecodeJpeg, UniformGreyJpeg(5000, 5000)));
}

TEST(JpegDecodingTest, RefusesProgressiveFilesOfHundredsOfScans) {
  TJpegPicture picture = FourSquares();
  picture.OneScanPerCoefficient = true;  // 1 + 3 * 63 scans
  EXPECT_TRUE(Refused(DecodeJpeg, test::EncodeJpeg(picture)));
  TJpegPicture grey{16, 16, TJpegColors::Grey, std::vector<uint8_t>(16, 90)};
  grey.OneScanPerCoefficient = true;  // 64 scans
  const std::optional<TPicture> decoded = DecodeQuietly(DecodeJpeg, test::EncodeJpeg(grey));
  ASSERT_TRUE(decoded);
  EXPECT_TRUE(ColorNear(decoded->Colors.Pixel(8, 8), RgbColor(90, 90, 90), kJpegTolerance));
}

// ---- PNG

// Samples that differ from pixel to pixel and channel to channel.
std::vector<uint8_t> Samples(size_t count) {
  std::vector<uint8_t> samples(count);
  for (size_t i = 0; i < count; ++i) samples[i] = static_cast<uint8_t>(i * 37 + 11);
  return samples;
}

// Each pixel of `picture` is the next `channels` samples of `samples`: red,
// green, blue, alpha (or grey, grey, grey, alpha for one or two channels).
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
  constexpr int kWidth = 7, kHeight = 5;
  std::vector<uint8_t> rgba = Samples(kWidth * kHeight * 4);
  // Colour under no alpha at all must survive: nothing is premultiplied.
  rgba[3] = 0;
  rgba[7] = 1;
  rgba[11] = 255;
  for (bool interlaced : {false, true}) {
    SCOPED_TRACE(interlaced ? "Adam7" : "not interlaced");
    TPngPicture png{kWidth, kHeight, TPngColors::Rgba, 8, rgba};
    png.Interlaced = interlaced;
    ExpectExactly(DecodeQuietly(DecodePng, test::EncodePng(png)), rgba, 4, true);
  }
}

TEST(PngDecodingTest, GivesRgbBackWithoutAlphaAndLeavesSrgbGammaAlone) {
  const std::vector<uint8_t> rgb = Samples(6 * 4 * 3);
  TPngPicture png{6, 4, TPngColors::Rgb, 8, rgb};
  ExpectExactly(DecodeQuietly(DecodePng, test::EncodePng(png)), rgb, 3, false);
  png.Gamma = 1 / 2.2;
  ExpectExactly(DecodeQuietly(DecodePng, test::EncodePng(png)), rgb, 3, false);
}

TEST(PngDecodingTest, KeepsAPalettesTransparency) {
  TPngPicture png{4, 2, TPngColors::Palette, 8, {0, 1, 2, 3, 3, 2, 1, 0}};
  png.Palette = {255, 0, 0, 0, 255, 0, 0, 0, 255, 9, 8, 7};
  png.PaletteAlpha = {0, 128};  // the other two entries are opaque
  const std::vector<uint8_t> rgba = {255, 0, 0, 0, 0, 255, 0, 128, 0, 0, 255, 255, 9, 8, 7, 255,
                                     9,   8, 7, 255, 0, 0, 255, 255, 0, 255, 0, 128, 255, 0, 0, 0};
  ExpectExactly(DecodeQuietly(DecodePng, test::EncodePng(png)), rgba, 4, true);

  png.PaletteAlpha.clear();
  const std::optional<TPicture> opaque = DecodeQuietly(DecodePng, test::EncodePng(png));
  ASSERT_TRUE(opaque);
  EXPECT_FALSE(opaque->HasAlpha());
  EXPECT_EQ(opaque->Colors.Pixel(3, 0), RgbColor(9, 8, 7));
}

// Without a gamma chunk 16-bit samples are sRGB like 8-bit ones: halved to
// 8 bits, not converted as if they were linear light (which lightens 0x8080
// to about 188).
TEST(PngDecodingTest, ScalesSixteenBitSamplesToEight) {
  const std::vector<uint8_t> eight = {128, 0, 255, 255, 7, 200, 64, 128};  // two RGBA pixels
  std::vector<uint8_t> sixteen;
  for (uint8_t sample : eight) sixteen.insert(sixteen.end(), {sample, sample});
  ExpectExactly(DecodeQuietly(DecodePng, test::EncodePng({2, 1, TPngColors::Rgba, 16, sixteen})), eight,
                4, true);

  sixteen.resize(6);  // the first pixel as RGB
  ExpectExactly(DecodeQuietly(DecodePng, test::EncodePng({1, 1, TPngColors::Rgb, 16, sixteen})),
                {eight.begin(), eight.begin() + 3}, 3, false);
}

TEST(PngDecodingTest, SpreadsGreyOverAllChannels) {
  const std::vector<uint8_t> grey = Samples(5 * 3);
  ExpectExactly(DecodeQuietly(DecodePng, test::EncodePng({5, 3, TPngColors::Grey, 8, grey})), grey, 1,
                false);
  const std::vector<uint8_t> grey_alpha = Samples(5 * 3 * 2);
  ExpectExactly(DecodeQuietly(DecodePng, test::EncodePng({5, 3, TPngColors::GreyAlpha, 8, grey_alpha})),
                grey_alpha, 2, true);
}

std::vector<uint8_t> SmallRgbaPng() {
  return test::EncodePng({7, 5, TPngColors::Rgba, 8, Samples(7 * 5 * 4)});
}

TEST(PngDecodingTest, RefusesTruncatedData) {
  const std::vector<uint8_t> png = SmallRgbaPng();
  const size_t idat = test::FindPngChunk(png, "IDAT");
  ASSERT_NE(idat, std::string_view::npos);
  for (size_t size : {size_t{20}, idat + 8 + 10, idat + 8 + 30})
    EXPECT_TRUE(Refused(DecodePng, std::span(png).first(size))) << size << " of " << png.size();
}

TEST(PngDecodingTest, RefusesABadChecksumInIhdrOrIdat) {
  for (const char* chunk : {"IHDR", "IDAT"}) {
    std::vector<uint8_t> png = SmallRgbaPng();
    const size_t offset = test::FindPngChunk(png, chunk);
    ASSERT_NE(offset, std::string_view::npos);
    png[offset + 8] ^= 0x01;  // first data byte, checksum left as it was
    EXPECT_TRUE(Refused(DecodePng, png)) << chunk;
  }
}

// Complete valid files (1-bit grey, so cheap to make): only the size check
// stands between them and a picture.
std::vector<uint8_t> BlankPng(int width, int height) {
  return test::EncodePng({width, height, TPngColors::Grey, 1,
                          std::vector<uint8_t>(static_cast<size_t>((width + 7) / 8) * height)});
}

TEST(PngDecodingTest, RefusesAnOversizedHeader) {
  EXPECT_TRUE(Refused(DecodePng, BlankPng(9000, 10)));
  EXPECT_TRUE(Refused(DecodePng, BlankPng(10, kMaxPictureSide + 1)));
  EXPECT_TRUE(Refused(DecodePng, BlankPng(5000, 5000)));
  const std::optional<TPicture> widest = DecodeQuietly(DecodePng, BlankPng(kMaxPictureSide, 10));
  ASSERT_TRUE(widest);
  EXPECT_EQ(widest->Width(), kMaxPictureSide);
}

TEST(PngDecodingTest, RefusesZeroWidth) {
  std::vector<uint8_t> png = SmallRgbaPng();
  const size_t ihdr = test::FindPngChunk(png, "IHDR");
  ASSERT_EQ(ihdr, 8u);
  std::fill_n(png.begin() + ihdr + 8, 4, 0);  // width, with a matching checksum
  test::FixPngChunkCrc(png, ihdr);
  EXPECT_TRUE(Refused(DecodePng, png));
}

// ---- Both

TEST(PictureDecodingTest, RefusesEmptyInput) {
  EXPECT_TRUE(Refused(DecodeJpeg, {}));
  EXPECT_TRUE(Refused(DecodePng, {}));
}

TEST(PictureDecodingTest, RefusesWhatIsNoPictureOfItsKind) {
  const std::string_view page = "<html><body>Not found</body></html>";
  const std::span text(reinterpret_cast<const uint8_t*>(page.data()), page.size());
  EXPECT_TRUE(Refused(DecodeJpeg, text));
  EXPECT_TRUE(Refused(DecodePng, text));
  EXPECT_TRUE(Refused(DecodeJpeg, SmallRgbaPng()));
  EXPECT_TRUE(Refused(DecodePng, test::EncodeJpeg(FourSquares())));
}

}  // namespace
}  // namespace qel
