#include "platform/AnsiText.h"

#include <windows.h>

#include <mutex>
#include <optional>
#include <string>

#include "platform/Error.h"
#include "platform/win32/CodePageText.h"
#include "platform/win32/Utf8.h"

namespace qel {
namespace {

struct TPinnedCharset {
  std::string Name;
  unsigned CodePage = 0;
};

std::mutex PinLock;
std::optional<TPinnedCharset> Pinned;

// "ANSI" is the system's ANSI code page unless a test pinned another.
unsigned AnsiCodePage() {
  std::lock_guard lock(PinLock);
  return Pinned ? Pinned->CodePage : GetACP();
}

}  // namespace

std::string AnsiCharset() {
  {
    std::lock_guard lock(PinLock);
    if (Pinned) return Pinned->Name;
  }
  return "CP" + std::to_string(GetACP());
}

void SetAnsiCharsetForTesting(std::string_view charset) {
  std::optional<TPinnedCharset> pinned;
  if (!charset.empty()) {
    const std::optional<unsigned> code_page = win32::CodePageNamed(charset);
    if (!code_page) throw EQelError("no code page for the character set " + std::string(charset));
    pinned = TPinnedCharset{std::string(charset), *code_page};
  }
  std::lock_guard lock(PinLock);
  Pinned = std::move(pinned);
}

std::string AnsiToUtf8(std::string_view ansi) {
  return win32::EncodeUtf8(win32::DecodeCodePage(ansi, AnsiCodePage()));
}

std::string Utf8ToAnsi(std::string_view utf8) {
  return win32::EncodeCodePage(win32::DecodeUtf8(utf8), AnsiCodePage());
}

std::u16string AnsiToUtf16(std::string_view ansi) { return win32::DecodeCodePage(ansi, AnsiCodePage()); }

std::string Utf16ToAnsi(std::u16string_view wide) { return win32::EncodeCodePage(wide, AnsiCodePage()); }

std::u16string Utf8ToUtf16(std::string_view utf8) { return win32::DecodeUtf8(utf8); }

std::string Utf16ToUtf8(std::u16string_view wide) { return win32::EncodeUtf8(wide); }

// CharLowerBuffA knows only the system's ANSI code page, so each character is
// lowered as UTF-16 with CharLowerBuffW and put back into the code page in
// use. What has no lower case, or one the code page cannot hold, or is no
// character at all keeps its bytes.
std::string AnsiLowerCase(std::string_view ansi) {
  const unsigned code_page = AnsiCodePage();
  std::string result;
  result.reserve(ansi.size());
  while (!ansi.empty()) {
    const std::string_view bytes = ansi.substr(0, win32::CharacterLength(ansi, code_page));
    ansi.remove_prefix(bytes.size());
    // ANSI code pages all hold ASCII as it is.
    if (bytes.size() == 1 && static_cast<unsigned char>(bytes[0]) < 0x80) {
      const char c = bytes[0];
      result.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
      continue;
    }
    std::optional<std::u16string> character = win32::DecodeCharacter(bytes, code_page);
    std::optional<std::string> lowered;
    if (character) {
      const std::u16string upper = *character;
      CharLowerBuffW(reinterpret_cast<LPWSTR>(character->data()), static_cast<DWORD>(character->size()));
      if (*character != upper) lowered = win32::EncodeCharacter(*character, code_page);
    }
    result += lowered ? *lowered : std::string(bytes);
  }
  return result;
}

}  // namespace qel
