// The one rule by which the page's texts become numbers: leading blanks, then
// a signed decimal or a "$", "x", "0x" hexadecimal, and nothing after it.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace qel {

// The value, or nothing when the text breaks the rule. Decimal values must
// fit 32 signed bits; up to eight hexadecimal digits give the 32-bit pattern.
std::optional<int32_t> ParseNumericText(std::string_view text);

}  // namespace qel
