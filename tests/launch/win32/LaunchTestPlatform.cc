#include "LaunchTestPlatform.h"

#include <windows.h>

namespace qel::test {

std::string ThisProgramPath() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  return length > 0 && length < MAX_PATH ? std::string(path, length) : std::string();
}

void RemoveEnvironmentVariable(const std::string& name) { SetEnvironmentVariableA(name.c_str(), nullptr); }

std::optional<std::vector<std::string>> FilesOpenIn(uint32_t, const std::string&) { return std::nullopt; }

const char* NoNamedObjectFiles() {
  return "named objects are kernel objects: the folder only sets their names apart";
}

const char* KilledHoldersUnitsStayTaken() {
  return "a kernel semaphore counts no holders: the units a killed process took stay taken";
}

}  // namespace qel::test
