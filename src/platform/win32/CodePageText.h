// Text in one Windows code page, converted by the system, with the rules of
// platform/AnsiText.h: what the code page cannot hold, and bytes that are no
// character in it, become '?'.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qel::win32 {

inline constexpr unsigned kUtf8CodePage = 65001;

// The code page of a character set name: "CP<number>" (as iconv also calls
// them), "UTF-8", and "ISO-8859-<n>"; nothing for other names and for code
// pages this system does not have.
std::optional<unsigned> CodePageNamed(std::string_view name);

std::u16string DecodeCodePage(std::string_view text, unsigned code_page);
std::string EncodeCodePage(std::u16string_view wide, unsigned code_page);

// Strict forms for single characters: nothing when the bytes are no
// character, or the character has no bytes, in the code page.
std::optional<std::u16string> DecodeCharacter(std::string_view bytes, unsigned code_page);
std::optional<std::string> EncodeCharacter(std::u16string_view wide, unsigned code_page);
// The bytes of the character that `text` starts with.
size_t CharacterLength(std::string_view text, unsigned code_page);

}  // namespace qel::win32
