// 8-bit ("ANSI") text: the system's strings are in the current locale's
// character set. These convert between it, UTF-8 and UTF-16. A character
// that the target cannot hold, or an invalid input sequence, becomes '?'.
#pragma once

#include <string>
#include <string_view>

namespace qel {

std::string AnsiToUtf8(std::string_view ansi);
std::string Utf8ToAnsi(std::string_view utf8);
std::u16string AnsiToUtf16(std::string_view ansi);
std::string Utf16ToAnsi(std::u16string_view wide);
std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view wide);

// Lower-cases by the rules of the 8-bit character set (not only A-Z).
std::string AnsiLowerCase(std::string_view ansi);

// The character set that stands for "ANSI"; the locale's unless overridden.
std::string AnsiCharset();
// Test seam: use this character set instead of the locale's; empty restores.
void SetAnsiCharsetForTesting(std::string_view charset);

}  // namespace qel
