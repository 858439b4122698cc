#include "platform/win32/SystemError.h"

#include <windows.h>

#include "platform/Error.h"

namespace qel {

std::string SystemErrorText(unsigned long code) {
  char* text = nullptr;
  const DWORD length = ::FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string message = length > 0 && text != nullptr ? std::string(text, length) : std::string();
  if (text != nullptr) ::LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' ' ||
                              message.back() == '.'))
    message.pop_back();
  if (message.empty()) return "error " + std::to_string(code);
  return message;
}

std::string LastErrorText() { return SystemErrorText(::GetLastError()); }

void RaiseSystemError(const std::string& what, const std::string& subject, unsigned long code) {
  throw EQelError(what + " " + subject + ": " + SystemErrorText(code));
}

}  // namespace qel
