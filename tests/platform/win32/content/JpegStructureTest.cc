// The walk over a JPEG file's markers that finds files cut short before their
// end marker and counts their scans.
#include "platform/win32/JpegStructure.h"

#include <gtest/gtest.h>

#include <vector>

#include "TestPictures.h"

namespace qel::test {
namespace {

bool JpegReachesEndMarker(std::span<const uint8_t> jpeg) { return OutlineJpeg(jpeg).ReachesEndMarker; }

TEST(JpegStructureTest, OnlyTheWholeFileReachesItsEndMarker) {
  for (const char* name : {"SQUARES_JPG", "SQUARES_PROGRESSIVE_JPG", "YCCK_JPG"}) {
    std::vector<uint8_t> jpeg = TestPicture(name);
    EXPECT_TRUE(JpegReachesEndMarker(jpeg)) << name;
    for (size_t size = 0; size < jpeg.size(); ++size)
      ASSERT_FALSE(JpegReachesEndMarker(std::span(jpeg).first(size))) << name << ", " << size;
    // What follows the end marker is no concern of the picture's.
    jpeg.insert(jpeg.end(), {0x00, 0xFF, 0x12});
    EXPECT_TRUE(JpegReachesEndMarker(jpeg)) << name;
  }
}

TEST(JpegStructureTest, CountsEveryScan) {
  // Baseline: one interleaved scan; progressive: a DC scan and two bands of
  // AC coefficients for each of three components.
  EXPECT_EQ(OutlineJpeg(TestPicture("SQUARES_JPG")).Scans, 1);
  EXPECT_EQ(OutlineJpeg(TestPicture("SQUARES_PROGRESSIVE_JPG")).Scans, 7);
  EXPECT_EQ(OutlineJpeg(TestPicture("SQUARES_190_SCANS_JPG")).Scans, 190);
}

TEST(JpegStructureTest, ScanDataKeepsItsStuffedBytesAndRestartMarkers) {
  // Start of image, fill bytes, a scan header of no content, scan data with
  // a stuffed 0xFF and a restart marker, end of image.
  const std::vector<uint8_t> jpeg = {0xFF, 0xD8, 0xFF, 0xFF, 0xDA, 0x00, 0x02, 0x12, 0xFF,
                                     0x00, 0xFF, 0xD3, 0x34, 0xFF, 0xD9};
  EXPECT_TRUE(JpegReachesEndMarker(jpeg));
  // An end marker inside a segment, as in an embedded thumbnail, is not the
  // file's.
  const std::vector<uint8_t> thumbnail_only = {0xFF, 0xD8, 0xFF, 0xE1, 0x00, 0x06, 0xFF, 0xD9, 0xFF, 0xD9};
  EXPECT_FALSE(JpegReachesEndMarker(thumbnail_only));
}

TEST(JpegStructureTest, RefusesBrokenSegmentStructure) {
  const std::vector<std::vector<uint8_t>> broken = {
      {0xFF, 0xD9, 0xFF, 0xD8},                          // no start of image
      {0xFF, 0xD8, 0x00, 0xFF, 0xD9},                    // garbage between markers
      {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x01, 0xFF, 0xD9},  // a length below its own size
      {0xFF, 0xD8, 0xFF, 0xE0, 0x40, 0x00, 0xFF, 0xD9},  // a segment past the end
  };
  for (const auto& jpeg : broken) EXPECT_FALSE(JpegReachesEndMarker(jpeg));
}

}  // namespace
}  // namespace qel::test
