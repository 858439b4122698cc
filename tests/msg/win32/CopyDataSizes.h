// Block sizes at which the transport changes how it carries a block: none
// on Windows, where WM_COPYDATA carries every block the same way.
#pragma once

#include <cstddef>
#include <vector>

namespace qel::test {

inline std::vector<size_t> CopyDataBoundaries() { return {}; }

}  // namespace qel::test
