#include "PictureFiles.h"

#include <jpeglib.h>
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <memory>

std::optional<Picture> ReadPng(const std::string& path, std::string& error) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (png_image_begin_read_from_file(&image, path.c_str()) == 0) {
    error = image.message;
    return std::nullopt;
  }
  image.format = PNG_FORMAT_RGBA;
  Picture picture(static_cast<int>(image.width), static_cast<int>(image.height), Rgba{});
  static_assert(sizeof(Rgba) == 4);
  if (png_image_finish_read(&image, nullptr, picture.pixels.data(), 0, nullptr) == 0) {
    error = image.message;
    png_image_free(&image);
    return std::nullopt;
  }
  return picture;
}

bool WritePng(const Picture& picture, const std::string& path) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(picture.width);
  image.height = static_cast<png_uint_32>(picture.height);
  image.format = PNG_FORMAT_RGBA;
  return png_image_write_to_file(&image, path.c_str(), 0, picture.pixels.data(), 0, nullptr) != 0;
}

namespace {

// libjpeg reports a failure by calling error_exit, which must not return: the
// jump goes back to WriteJpeg, which cleans up and answers false.
struct JpegFailure {
  jpeg_error_mgr manager{};
  std::jmp_buf back{};
};

[[noreturn]] void JumpBack(j_common_ptr info) {
  std::longjmp(reinterpret_cast<JpegFailure*>(info->err)->back, 1);
}

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

bool WriteJpeg(const Picture& picture, const std::string& path) {
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
  if (!file) return false;
  std::vector<JSAMPLE> row(static_cast<size_t>(picture.width) * 3);
  jpeg_compress_struct info{};
  JpegFailure failure;
  info.err = jpeg_std_error(&failure.manager);
  failure.manager.error_exit = JumpBack;
  if (setjmp(failure.back) != 0) {
    jpeg_destroy_compress(&info);
    return false;
  }
  jpeg_create_compress(&info);
  jpeg_stdio_dest(&info, file.get());
  info.image_width = static_cast<JDIMENSION>(picture.width);
  info.image_height = static_cast<JDIMENSION>(picture.height);
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 100, TRUE);
  for (int component = 0; component < info.num_components; ++component) {
    info.comp_info[component].h_samp_factor = 1;
    info.comp_info[component].v_samp_factor = 1;
  }
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    const int y = static_cast<int>(info.next_scanline);
    for (int x = 0; x < picture.width; ++x) {
      const Rgba& pixel = picture.at(x, y);
      row[x * 3] = pixel.r;
      row[x * 3 + 1] = pixel.g;
      row[x * 3 + 2] = pixel.b;
    }
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&info, rows, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  return std::fflush(file.get()) == 0;
}
