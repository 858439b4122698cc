// Digits to 32-bit integers, shared by the rules that read numbers from
// text (the page's numeric text, config.ini's InitKind). Each rule decides
// which prefixes and blanks it allows; these take the bare digits.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace qel {

// An optional "+" or "-", then decimal digits, within -2147483648..2147483647.
std::optional<int32_t> ParseSignedDecimal(std::string_view text);
// Hexadecimal digits in either letter case; up to eight significant digits
// give the 32-bit pattern (so eight F digits give -1).
std::optional<int32_t> ParseHexPattern(std::string_view digits);

}  // namespace qel
