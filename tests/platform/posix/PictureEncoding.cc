// The test pictures on Linux, encoded with libjpeg and libpng.
#include "PictureEncoding.h"

#include <cstdio>  // jpeglib.h uses FILE and size_t without including them
#include <cstdlib>

#include <jpeglib.h>
#include <png.h>

namespace qel::test {
namespace {

int ComponentsOf(TJpegColors colors) {
  switch (colors) {
    case TJpegColors::Grey:
      return 1;
    case TJpegColors::Rgb:
      return 3;
    default:
      return 4;
  }
}

// A DC scan of all components, then each AC coefficient of each component
// alone.
std::vector<jpeg_scan_info> OneScanPerCoefficient(int components) {
  std::vector<jpeg_scan_info> scans;
  jpeg_scan_info dc{};
  dc.comps_in_scan = components;
  for (int c = 0; c < components; ++c) dc.component_index[c] = c;
  scans.push_back(dc);
  for (int c = 0; c < components; ++c) {
    for (int k = 1; k < DCTSIZE2; ++k) {
      jpeg_scan_info ac{};
      ac.comps_in_scan = 1;
      ac.component_index[0] = c;
      ac.Ss = k;
      ac.Se = k;
      scans.push_back(ac);
    }
  }
  return scans;
}

void AppendToVector(png_structp png, png_bytep data, size_t size) {
  auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + size);
}

}  // namespace

bool CanEncode(const TJpegPicture&) { return true; }
bool CanEncode(const TPngPicture&) { return true; }

std::vector<uint8_t> EncodeJpeg(const TJpegPicture& picture) {
  jpeg_compress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);

  const int components = ComponentsOf(picture.Colors);
  info.image_width = static_cast<JDIMENSION>(picture.Width);
  info.image_height = static_cast<JDIMENSION>(picture.Height);
  info.input_components = components;
  info.in_color_space = components == 1 ? JCS_GRAYSCALE : components == 3 ? JCS_RGB : JCS_CMYK;
  jpeg_set_defaults(&info);
  if (picture.Colors == TJpegColors::Ycck) jpeg_set_colorspace(&info, JCS_YCCK);
  jpeg_set_quality(&info, 95, TRUE);
  if (picture.Progressive) jpeg_simple_progression(&info);
  const std::vector<jpeg_scan_info> scans = OneScanPerCoefficient(components);
  if (picture.OneScanPerCoefficient) {
    info.scan_info = scans.data();
    info.num_scans = static_cast<int>(scans.size());
  }

  const size_t row_bytes = static_cast<size_t>(picture.Width) * components;
  const bool one_row = picture.Samples.size() == row_bytes;
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    const size_t offset = one_row ? 0 : info.next_scanline * row_bytes;
    JSAMPROW row = const_cast<uint8_t*>(picture.Samples.data() + offset);
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  std::vector<uint8_t> file(buffer, buffer + size);
  jpeg_destroy_compress(&info);
  std::free(buffer);
  return file;
}

std::vector<uint8_t> EncodePng(const TPngPicture& picture) {
  std::vector<uint8_t> file;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(png, &file, AppendToVector, nullptr);
  png_set_IHDR(png, info, static_cast<png_uint_32>(picture.Width),
               static_cast<png_uint_32>(picture.Height), picture.BitDepth,
               static_cast<int>(picture.Colors),
               picture.Interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  std::vector<png_color> palette(picture.Palette.size() / 3);
  for (size_t i = 0; i < palette.size(); ++i)
    palette[i] = {picture.Palette[i * 3], picture.Palette[i * 3 + 1], picture.Palette[i * 3 + 2]};
  if (!palette.empty()) png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
  if (!picture.PaletteAlpha.empty())
    png_set_tRNS(png, info, picture.PaletteAlpha.data(), static_cast<int>(picture.PaletteAlpha.size()),
                 nullptr);
  if (picture.Gamma != 0) png_set_gAMA(png, info, picture.Gamma);
  png_write_info(png, info);

  const size_t row_bytes = picture.Rows.size() / static_cast<size_t>(picture.Height);
  std::vector<png_bytep> rows(static_cast<size_t>(picture.Height));
  for (size_t y = 0; y < rows.size(); ++y)
    rows[y] = const_cast<png_bytep>(picture.Rows.data() + y * row_bytes);
  png_write_image(png, rows.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return file;
}

}  // namespace qel::test
