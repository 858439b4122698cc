// A look at a JPEG file's markers without decoding it, for what the imaging
// component does not refuse by itself: a file that ends early, which it shows
// with the missing part filled in, and a progressive file of hundreds of
// scans, each of which costs a pass over the whole picture.
#pragma once

#include <cstdint>
#include <span>

namespace qel {

struct TJpegOutline {
  // The markers from the start of image lead, segment by segment and through
  // the entropy-coded data of each scan, to an end-of-image marker.
  bool ReachesEndMarker = false;
  int Scans = 0;
};

TJpegOutline OutlineJpeg(std::span<const uint8_t> jpeg);

}  // namespace qel
