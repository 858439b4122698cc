// Pictures as plain pixel arrays, and the PNG and JPEG files the progress
// display check reads and writes (libpng's and libjpeg's own file routines).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct Rgba {
  uint8_t r = 0, g = 0, b = 0, a = 255;
};

struct Picture {
  int width = 0, height = 0;
  std::vector<Rgba> pixels;  // row by row

  Picture() = default;
  Picture(int w, int h, Rgba fill) : width(w), height(h), pixels(static_cast<size_t>(w) * h, fill) {}
  Rgba& at(int x, int y) { return pixels[static_cast<size_t>(y) * width + x]; }
  const Rgba& at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// Any PNG, as 8-bit RGBA; nullopt with the reason in `error` when it fails.
std::optional<Picture> ReadPng(const std::string& path, std::string& error);
bool WritePng(const Picture& picture, const std::string& path);
// Quality 100 without chroma subsampling, so that plain 8 x 8 blocks come
// back within a step or two of their colour; the alpha is dropped.
bool WriteJpeg(const Picture& picture, const std::string& path);
