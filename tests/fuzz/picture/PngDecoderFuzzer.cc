// Arbitrary bytes as a PNG: refused or a whole picture, never a crash or a
// leak inside libpng.
#include <cstddef>
#include <cstdint>
#include <span>

#include "PictureCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::optional<qel::TPicture> picture = qel::DecodePng(std::span(data, size));
  if (picture) CheckDecodedPicture(*picture);
  return 0;
}
