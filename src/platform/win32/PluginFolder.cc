#include "platform/PluginFolder.h"

#include <windows.h>

#include <string>

#include "platform/Error.h"
#include "platform/win32/SystemError.h"

namespace qel {

std::string PluginDir() {
  HMODULE module = nullptr;
  if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCSTR>(&PluginDir), &module))
    throw EQelError("the plug-in's own file cannot be found: " + LastErrorText());
  // A name that fills the buffer may have been cut short: try a larger one.
  std::string file(MAX_PATH, '\0');
  for (;;) {
    const DWORD length = GetModuleFileNameA(module, file.data(), static_cast<DWORD>(file.size()));
    if (length == 0) throw EQelError("the plug-in's own file cannot be found: " + LastErrorText());
    if (length < file.size()) {
      file.resize(length);
      break;
    }
    file.resize(file.size() * 2);
  }
  const size_t separator = file.find_last_of("\\/");
  if (separator == std::string::npos) throw EQelError("the plug-in's own file has no folder: " + file);
  return file.substr(0, separator) + '\\';
}

}  // namespace qel
