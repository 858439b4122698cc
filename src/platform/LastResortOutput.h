// Where the last-resort handler's lines go; each system has its own outputs.
#pragma once

#include <string_view>

namespace qel {

// What every report's line starts with.
inline constexpr std::string_view kReportPrefix = "npqelgame: ";

// `line` is one whole report: the prefix, the text with its line breaks
// replaced, and a final '\n'. Never throws.
void WriteReportLine(std::string_view line) noexcept;

}  // namespace qel
