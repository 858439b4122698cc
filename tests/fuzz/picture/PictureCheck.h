// What every picture a decoder accepts must be, whatever its file: within
// the size limits, with colour (and alpha, if any) for every pixel. Reading
// each byte lets AddressSanitizer see a picture smaller than it claims.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/PictureDecoding.h"

inline void CheckDecodedPicture(const qel::TPicture& picture) {
  const int64_t pixels = int64_t{picture.Width()} * picture.Height();
  if (picture.Width() <= 0 || picture.Height() <= 0 || picture.Width() > qel::kMaxPictureSide ||
      picture.Height() > qel::kMaxPictureSide || pixels > qel::kMaxPicturePixels)
    __builtin_trap();
  if (picture.HasAlpha() && picture.Alpha.size() != static_cast<size_t>(pixels)) __builtin_trap();
  unsigned sum = 0;
  for (int32_t y = 0; y < picture.Height(); ++y) {
    const uint8_t* row = picture.Colors.Row(y);
    for (int32_t i = 0; i < picture.Width() * 3; ++i) sum += row[i];
  }
  for (uint8_t alpha : picture.Alpha) sum += alpha;
  // Keeps the reads from being optimised away.
  asm volatile("" : : "r"(sum));
}
