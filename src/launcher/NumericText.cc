#include "launcher/NumericText.h"

#include "platform/IntegerText.h"

namespace qel {

std::optional<int32_t> ParseNumericText(std::string_view text) {
  size_t start = text.find_first_not_of(' ');
  if (start == std::string_view::npos) return std::nullopt;
  text.remove_prefix(start);

  for (std::string_view prefix : {"0x", "0X", "$", "x", "X"}) {
    if (text.starts_with(prefix)) return ParseHexPattern(text.substr(prefix.size()));
  }
  return ParseSignedDecimal(text);
}

}  // namespace qel
