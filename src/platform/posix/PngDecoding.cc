// PNG pictures through libpng's simplified API, which catches libpng's errors
// itself (its longjmp never leaves libpng) and keeps warnings in the image
// structure instead of printing them. Truncated data, a bad checksum in a
// critical chunk, a bad header or too little image data are errors there.
//
// The simplified API gives 8-bit colours as sRGB: a file with no gamma, sRGB
// gamma or an sRGB chunk comes out byte for byte; a file that declares another
// gamma is converted to sRGB for display. Alpha is never premultiplied.
#include "platform/PictureDecoding.h"

#include <png.h>

#include <cstddef>
#include <vector>

namespace qel {
namespace {

bool FitsLimits(png_uint_32 width, png_uint_32 height) {
  return width <= static_cast<png_uint_32>(kMaxPictureSide) &&
         height <= static_cast<png_uint_32>(kMaxPictureSide) &&
         int64_t{width} * int64_t{height} <= kMaxPicturePixels;
}

// Frees libpng's reading state on every way out (a no-op once finish_read,
// or a failed begin_read, has freed it).
class TPngImage {
 public:
  TPngImage() { Image.version = PNG_IMAGE_VERSION; }
  ~TPngImage() { png_image_free(&Image); }
  TPngImage(const TPngImage&) = delete;
  TPngImage& operator=(const TPngImage&) = delete;

  png_image Image{};
};

}  // namespace

std::optional<TPicture> DecodePng(std::span<const uint8_t> data) {
  TPngImage png;
  png_image& image = png.Image;
  if (!png_image_begin_read_from_memory(&image, data.data(), data.size())) return std::nullopt;
  if (!FitsLimits(image.width, image.height)) return std::nullopt;

  // The format after begin_read is the file's own; alpha there also covers a
  // tRNS chunk.
  const bool has_alpha = (image.format & PNG_FORMAT_FLAG_ALPHA) != 0;
  image.format = has_alpha ? PNG_FORMAT_BGRA : PNG_FORMAT_BGR;
  // Without it a 16-bit file with no gamma would be taken as linear light
  // and come out lightened; as sRGB it is only scaled to 8 bits.
  image.flags |= PNG_IMAGE_FLAG_16BIT_sRGB;

  const auto width = static_cast<int32_t>(image.width);
  const auto height = static_cast<int32_t>(image.height);
  TPicture picture{TBitmap(width, height), {}};
  if (!has_alpha) {
    // TBitmap rows are packed BGR, exactly libpng's layout for this format.
    if (!png_image_finish_read(&image, nullptr, picture.Colors.Row(0), width * 3, nullptr))
      return std::nullopt;
    return picture;
  }

  const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
  std::vector<uint8_t> bgra(pixels * 4);
  if (!png_image_finish_read(&image, nullptr, bgra.data(), width * 4, nullptr)) return std::nullopt;
  picture.Alpha.resize(pixels);
  const uint8_t* from = bgra.data();
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* to = picture.Colors.Row(y);
    uint8_t* alpha = picture.Alpha.data() + static_cast<size_t>(y) * static_cast<size_t>(width);
    for (int32_t x = 0; x < width; ++x, from += 4, to += 3) {
      to[0] = from[0];
      to[1] = from[1];
      to[2] = from[2];
      alpha[x] = from[3];
    }
  }
  return picture;
}

}  // namespace qel
