#include "platform/win32/Utf8.h"

namespace qel::win32 {
namespace {

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }
bool IsHighSurrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// The code point of the valid sequence at the start of `utf8`, and its length;
// length 0 when none starts there.
struct TDecoded {
  char32_t Point = 0;
  size_t Length = 0;
};

TDecoded DecodeOne(std::string_view utf8) {
  const auto lead = static_cast<unsigned char>(utf8[0]);
  if (lead < 0x80) return {lead, 1};
  size_t length = 0;
  char32_t least = 0;
  char32_t point = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, least = 0x80, point = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, least = 0x800, point = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, least = 0x10000, point = lead & 0x07;
  } else {
    return {};
  }
  if (utf8.size() < length) return {};
  for (size_t i = 1; i < length; ++i) {
    const auto byte = static_cast<unsigned char>(utf8[i]);
    if (!IsContinuation(byte)) return {};
    point = (point << 6) | (byte & 0x3F);
  }
  // Overlong forms, surrogates and points beyond Unicode are no characters.
  if (point < least || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) return {};
  return {point, length};
}

void AppendUtf8(char32_t point, std::string& out) {
  if (point < 0x80) {
    out.push_back(static_cast<char>(point));
  } else if (point < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (point >> 6)));
    out.push_back(static_cast<char>(0x80 | (point & 0x3F)));
  } else if (point < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (point >> 12)));
    out.push_back(static_cast<char>(0x80 | ((point >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (point & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (point >> 18)));
    out.push_back(static_cast<char>(0x80 | ((point >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((point >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (point & 0x3F)));
  }
}

}  // namespace

size_t Utf8SequenceLength(std::string_view utf8) {
  if (utf8.empty()) return 0;
  const size_t length = DecodeOne(utf8).Length;
  return length == 0 ? 1 : length;
}

std::u16string DecodeUtf8(std::string_view utf8) {
  std::u16string wide;
  wide.reserve(utf8.size());
  while (!utf8.empty()) {
    const TDecoded decoded = DecodeOne(utf8);
    if (decoded.Length == 0) {
      wide.push_back(u'?');
      utf8.remove_prefix(1);
      continue;
    }
    if (decoded.Point < 0x10000) {
      wide.push_back(static_cast<char16_t>(decoded.Point));
    } else {
      const char32_t above = decoded.Point - 0x10000;
      wide.push_back(static_cast<char16_t>(0xD800 + (above >> 10)));
      wide.push_back(static_cast<char16_t>(0xDC00 + (above & 0x3FF)));
    }
    utf8.remove_prefix(decoded.Length);
  }
  return wide;
}

std::string EncodeUtf8(std::u16string_view wide) {
  std::string utf8;
  utf8.reserve(wide.size());
  for (size_t i = 0; i < wide.size(); ++i) {
    const char32_t unit = wide[i];
    if (IsHighSurrogate(unit) && i + 1 < wide.size() && IsLowSurrogate(wide[i + 1])) {
      AppendUtf8(0x10000 + ((unit - 0xD800) << 10) + (wide[i + 1] - 0xDC00), utf8);
      ++i;
    } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
      utf8.push_back('?');
    } else {
      AppendUtf8(unit, utf8);
    }
  }
  return utf8;
}

}  // namespace qel::win32
