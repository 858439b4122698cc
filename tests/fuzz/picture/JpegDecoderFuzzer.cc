// Arbitrary bytes as a JPEG: refused or a whole picture, never a crash, a
// leak or an exit from inside libjpeg.
#include <cstddef>
#include <cstdint>
#include <span>

#include "PictureCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::optional<qel::TPicture> picture = qel::DecodeJpeg(std::span(data, size));
  if (picture) {
    if (picture->HasAlpha()) __builtin_trap();
    CheckDecodedPicture(*picture);
  }
  return 0;
}
