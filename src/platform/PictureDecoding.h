// JPEG and PNG files decoded into pictures. The data comes from the network,
// so a decoder never trusts it: a truncated, corrupt or oversized file is
// refused with no picture, and nothing in the decoding libraries may end the
// process or write past a buffer on its account.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "platform/Bitmap.h"

namespace qel {

// The largest picture a decoder accepts: no side beyond kMaxPictureSide and no
// more than kMaxPicturePixels in all, far more than the 1024 x 768 display
// shows. At the limit a picture takes 64 MB of colour and alpha, and as much
// again for a moment while a PNG with alpha is decoded.
inline constexpr int32_t kMaxPictureSide = 8192;
inline constexpr int64_t kMaxPicturePixels = int64_t{4096} * 4096;

// A baseline or progressive JPEG in any colour space libjpeg converts to RGB
// (grey, YCbCr, CMYK); no alpha.
std::optional<TPicture> DecodeJpeg(std::span<const uint8_t> data);

// A PNG of any colour type and depth, as 8-bit colours; the alpha channel is
// kept when the file has one (an alpha colour type or a tRNS chunk).
std::optional<TPicture> DecodePng(std::span<const uint8_t> data);

}  // namespace qel
