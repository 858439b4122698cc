#include "platform/win32/SystemError.h"

#include <windows.h>

#include <memory>

namespace qel::win32 {
namespace {

struct TLocalFree {
  void operator()(char* text) const { LocalFree(text); }
};

}  // namespace

std::string SystemErrorText(uint32_t code) {
  char* buffer = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
      0, reinterpret_cast<LPSTR>(&buffer), 0, nullptr);
  const std::unique_ptr<char, TLocalFree> owned(buffer);
  std::string text = length > 0 && buffer != nullptr ? std::string(buffer, length) : std::string();
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
  if (text.empty()) return "error " + std::to_string(code);
  return text;
}

std::string LastErrorText() { return SystemErrorText(GetLastError()); }

}  // namespace qel::win32
