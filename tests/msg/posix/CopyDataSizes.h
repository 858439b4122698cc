// Block sizes at which the Linux transport changes how it carries a block:
// up to kInlineCopyData bytes in the datagram, above it in a memory file.
#pragma once

#include <cstddef>
#include <vector>

#include "platform/posix/CopyDataWire.h"

namespace qel::test {

inline std::vector<size_t> CopyDataBoundaries() { return {kInlineCopyData}; }

}  // namespace qel::test
