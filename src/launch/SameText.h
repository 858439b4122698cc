// Game identifiers and names are matched without regard to letter case, by
// the rules of the 8-bit character set.
#pragma once

#include <string_view>

namespace qel {

// Equal after 8-bit lower-casing. Plain ASCII texts are compared directly
// (lower-casing them is the same in every character set), so that a long
// register is searched quickly.
bool SameTextIgnoringCase(std::string_view a, std::string_view b);

}  // namespace qel
