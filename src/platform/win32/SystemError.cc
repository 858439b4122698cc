#include "platform/win32/SystemError.h"

#include <windows.h>

#include "platform/Error.h"

namespace qel {

std::string SystemErrorText(unsigned long code) {
  char* text = nullptr;
  const DWORD length = ::FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string message = length > 0 ? std::string(text, length) : "error " + std::to_string(code);
  if (text != nullptr) ::LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' ' ||
                              message.back() == '.'))
    message.pop_back();
  return message;
}

void RaiseSystemError(const std::string& what, const std::string& subject, unsigned long code) {
  throw EQelError(what + " " + subject + ": " + SystemErrorText(code));
}

}  // namespace qel
