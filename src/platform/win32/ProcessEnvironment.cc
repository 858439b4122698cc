#include "platform/ProcessEnvironment.h"

#include <windows.h>

#include "platform/Error.h"
#include "platform/win32/SystemError.h"

namespace qel {

std::optional<std::string> ReadEnvironmentVariable(const std::string& name) {
  std::string value(256, '\0');
  for (;;) {
    SetLastError(ERROR_SUCCESS);
    const DWORD length = GetEnvironmentVariableA(name.c_str(), value.data(), static_cast<DWORD>(value.size()));
    if (length == 0) {
      // Zero is also the length of a value that is present but empty.
      if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
      return std::string();
    }
    if (length < value.size()) {
      value.resize(length);
      return value;
    }
    // Too small: `length` is the room needed, the terminating zero included.
    value.resize(length);
  }
}

void WriteEnvironmentVariable(const std::string& name, const std::string& value) {
  // The system takes such names without complaint, and then no one can read
  // them back.
  if (name.empty() || name.find('=') != std::string::npos)
    throw EQelError("cannot set environment variable " + name + ": the name is not valid");
  if (!SetEnvironmentVariableA(name.c_str(), value.c_str()))
    throw EQelError("cannot set environment variable " + name + ": " + LastErrorText());
}

}  // namespace qel
