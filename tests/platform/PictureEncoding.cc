#include "PictureEncoding.h"

#include <cstdio>  // jpeglib.h uses FILE and size_t without including them
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>
#include <png.h>
#include <zlib.h>

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

uint32_t ReadBe32(const uint8_t* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | uint32_t{p[3]};
}

}  // namespace

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

size_t FindPngChunk(const std::vector<uint8_t>& png, std::string_view type) {
  size_t offset = 8;  // the signature
  while (offset + 12 <= png.size()) {
    if (std::memcmp(png.data() + offset + 4, type.data(), 4) == 0) return offset;
    offset += 12 + ReadBe32(png.data() + offset);
  }
  return std::string_view::npos;
}

void FixPngChunkCrc(std::vector<uint8_t>& png, size_t offset) {
  const uint32_t length = ReadBe32(png.data() + offset);
  const uint8_t* typed_data = png.data() + offset + 4;
  const auto crc = static_cast<uint32_t>(crc32(crc32(0, nullptr, 0), typed_data, length + 4));
  uint8_t* out = png.data() + offset + 8 + length;
  for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
}

size_t FindJpegScanData(const std::vector<uint8_t>& jpeg) {
  // Markers after SOI each carry a 2-byte length that counts itself.
  size_t offset = 2;
  while (offset + 4 <= jpeg.size() && jpeg[offset] == 0xFF) {
    const size_t length = size_t{jpeg[offset + 2]} << 8 | jpeg[offset + 3];
    if (jpeg[offset + 1] == 0xDA) return offset + 2 + length;
    offset += 2 + length;
  }
  return std::string_view::npos;
}

}  // namespace qel::test
