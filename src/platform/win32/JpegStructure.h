// A look at a JPEG file's markers without decoding it. The imaging
// component shows a file that ends early with the missing part filled in;
// a file that never reaches its end marker is cut short and is refused here.
#pragma once

#include <cstdint>
#include <span>

namespace qel {

// True when the markers from the start of image lead, segment by segment and
// through the entropy-coded data of each scan, to an end-of-image marker
// inside `jpeg`.
bool JpegReachesEndMarker(std::span<const uint8_t> jpeg);

}  // namespace qel
