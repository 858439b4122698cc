// UTF-8 to and from UTF-16 by the rules of platform/AnsiText.h: each byte
// that starts no valid sequence, and each surrogate without its pair,
// becomes one '?'. (The system's own converters put U+FFFD in their place,
// a different number of them on different versions.)
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qel::win32 {

std::u16string DecodeUtf8(std::string_view utf8);
std::string EncodeUtf8(std::u16string_view wide);
// The bytes of the valid sequence that `utf8` starts with; 1 when none
// starts there, 0 for an empty text.
size_t Utf8SequenceLength(std::string_view utf8);

}  // namespace qel::win32
