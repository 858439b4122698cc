#include "platform/win32/CodePageText.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <limits>

#include "platform/win32/Utf8.h"

namespace qel::win32 {
namespace {

constexpr unsigned kIsoLatinBase = 28590;  // ISO-8859-n is code page 28590 + n
constexpr char kReplacement[] = "?";

bool IsSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDFFF; }
bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// Windows fills the holes of its own single-byte code pages (874, 1250 to
// 1258) with the C1 control of the byte's value; none of their characters
// is a C1 control, so such a unit stands for no character.
bool FillsHolesWithControls(unsigned code_page) {
  return code_page == 874 || (code_page >= 1250 && code_page <= 1258);
}
bool IsC1Control(char16_t unit) { return unit >= 0x80 && unit <= 0x9F; }

std::optional<unsigned> NumberAfter(std::string_view name, std::string_view prefix) {
  if (name.size() <= prefix.size()) return std::nullopt;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(name[i])) != prefix[i]) return std::nullopt;
  unsigned number = 0;
  const char* end = name.data() + name.size();
  const auto [stop, failure] = std::from_chars(name.data() + prefix.size(), end, number);
  if (failure != std::errc() || stop != end) return std::nullopt;
  return number;
}

// The system converts into this buffer; nothing when it refuses.
std::optional<std::u16string> SystemDecode(std::string_view text, unsigned code_page, DWORD flags) {
  if (text.empty()) return std::u16string();
  if (text.size() > static_cast<size_t>(std::numeric_limits<int>::max())) return std::nullopt;
  const int size = static_cast<int>(text.size());
  std::u16string wide(text.size(), u'\0');  // never more units than bytes
  const int made = MultiByteToWideChar(code_page, flags, text.data(), size, reinterpret_cast<LPWSTR>(wide.data()),
                                       static_cast<int>(wide.size()));
  if (made <= 0) return std::nullopt;
  wide.resize(static_cast<size_t>(made));
  return wide;
}

// Surrogates are handed over in whole pairs only.
struct TEncoded {
  std::string Bytes;
  bool Replaced = false;  // something could not be held
};

std::optional<TEncoded> SystemEncode(std::u16string_view wide, unsigned code_page) {
  if (wide.empty()) return TEncoded{};
  if (wide.size() > static_cast<size_t>(std::numeric_limits<int>::max()) / 4) return std::nullopt;
  const auto units = reinterpret_cast<LPCWSTR>(wide.data());
  const int size = static_cast<int>(wide.size());
  std::string bytes(wide.size() * 4, '\0');
  BOOL replaced = FALSE;
  int made = WideCharToMultiByte(code_page, WC_NO_BEST_FIT_CHARS, units, size, bytes.data(),
                                 static_cast<int>(bytes.size()), kReplacement, &replaced);
  const DWORD failure = made <= 0 ? GetLastError() : ERROR_SUCCESS;
  if (failure == ERROR_INVALID_FLAGS || failure == ERROR_INVALID_PARAMETER) {
    // Code pages such as the stateful ones take neither flags nor a
    // replacement of ours.
    replaced = FALSE;
    made = WideCharToMultiByte(code_page, 0, units, size, bytes.data(), static_cast<int>(bytes.size()), nullptr,
                               nullptr);
  }
  if (made <= 0) return std::nullopt;
  bytes.resize(static_cast<size_t>(made));
  return TEncoded{std::move(bytes), replaced != FALSE};
}

void AppendEncodedRun(std::u16string& run, unsigned code_page, std::string& out) {
  if (run.empty()) return;
  if (FillsHolesWithControls(code_page)) std::replace_if(run.begin(), run.end(), IsC1Control, u'?');
  const std::optional<TEncoded> encoded = SystemEncode(run, code_page);
  out += encoded ? encoded->Bytes : std::string(run.size(), '?');
  run.clear();
}

}  // namespace

std::optional<unsigned> CodePageNamed(std::string_view name) {
  std::optional<unsigned> code_page = NumberAfter(name, "CP");
  if (!code_page) {
    const std::optional<unsigned> part = NumberAfter(name, "ISO-8859-");
    if (part && *part >= 1 && *part <= 16) code_page = kIsoLatinBase + *part;
  }
  if (!code_page && (name == "UTF-8" || name == "utf-8" || name == "UTF8" || name == "utf8"))
    code_page = kUtf8CodePage;
  if (!code_page || !IsValidCodePage(*code_page)) return std::nullopt;
  return code_page;
}

size_t CharacterLength(std::string_view text, unsigned code_page) {
  if (text.empty()) return 0;
  if (code_page == kUtf8CodePage) return Utf8SequenceLength(text);
  if (text.size() >= 2 && IsDBCSLeadByteEx(code_page, static_cast<BYTE>(text[0]))) return 2;
  return 1;
}

std::u16string DecodeCodePage(std::string_view text, unsigned code_page) {
  if (code_page == kUtf8CodePage) return DecodeUtf8(text);
  std::optional<std::u16string> whole = SystemDecode(text, code_page, MB_ERR_INVALID_CHARS);
  if (!whole && GetLastError() == ERROR_INVALID_FLAGS) whole = SystemDecode(text, code_page, 0);
  if (whole) {
    if (FillsHolesWithControls(code_page)) std::replace_if(whole->begin(), whole->end(), IsC1Control, u'?');
    return *whole;
  }
  // Something in it is no character: one character at a time, and one '?'
  // for each byte where none starts.
  std::u16string wide;
  while (!text.empty()) {
    const size_t length = CharacterLength(text, code_page);
    const std::optional<std::u16string> character = DecodeCharacter(text.substr(0, length), code_page);
    if (character) {
      wide += *character;
      text.remove_prefix(length);
    } else {
      wide.push_back(u'?');
      text.remove_prefix(1);
    }
  }
  return wide;
}

std::string EncodeCodePage(std::u16string_view wide, unsigned code_page) {
  if (code_page == kUtf8CodePage) return EncodeUtf8(wide);
  std::string out;
  std::u16string run;  // characters of one unit each, converted together
  for (size_t i = 0; i < wide.size(); ++i) {
    const char16_t unit = wide[i];
    if (!IsSurrogate(unit)) {
      run.push_back(unit);
      continue;
    }
    AppendEncodedRun(run, code_page, out);
    if (IsHighSurrogate(unit) && i + 1 < wide.size() && IsLowSurrogate(wide[i + 1])) {
      // One '?' for the pair, where the system would put two.
      const std::optional<std::string> bytes = EncodeCharacter(wide.substr(i, 2), code_page);
      out += bytes ? *bytes : "?";
      ++i;
    } else {
      out.push_back('?');
    }
  }
  AppendEncodedRun(run, code_page, out);
  return out;
}

std::optional<std::u16string> DecodeCharacter(std::string_view bytes, unsigned code_page) {
  if (code_page == kUtf8CodePage) {
    if (bytes.empty() || Utf8SequenceLength(bytes) != bytes.size()) return std::nullopt;
    if (bytes.size() == 1 && static_cast<unsigned char>(bytes[0]) >= 0x80) return std::nullopt;
    return DecodeUtf8(bytes);
  }
  std::optional<std::u16string> wide = SystemDecode(bytes, code_page, MB_ERR_INVALID_CHARS);
  if (wide && FillsHolesWithControls(code_page) && std::any_of(wide->begin(), wide->end(), IsC1Control))
    return std::nullopt;
  return wide;
}

std::optional<std::string> EncodeCharacter(std::u16string_view wide, unsigned code_page) {
  if (code_page == kUtf8CodePage) return EncodeUtf8(wide);
  if (FillsHolesWithControls(code_page) && std::any_of(wide.begin(), wide.end(), IsC1Control)) return std::nullopt;
  const std::optional<TEncoded> encoded = SystemEncode(wide, code_page);
  if (!encoded || encoded->Replaced) return std::nullopt;
  return encoded->Bytes;
}

}  // namespace qel::win32
