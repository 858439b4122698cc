// Stands in for a game: writes what it was started with into report.txt in
// its working folder, one item a line, complete once it has that name.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::string Variable(const char* name) {
  char value[4096];
  const DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
  if (length == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND) return "<absent>";
  return std::string(value, length < sizeof value ? length : 0);
}

// The UTF-16 units of a variable, as hexadecimal numbers.
std::string WideVariable(const wchar_t* name) {
  wchar_t value[256];
  const DWORD length = GetEnvironmentVariableW(name, value, 256);
  std::string units;
  for (DWORD i = 0; i < length && i < 256; ++i) {
    char unit[8];
    std::snprintf(unit, sizeof unit, "%04x ", static_cast<unsigned>(value[i]));
    units += unit;
  }
  return units;
}

// The test hands over the number of a handle that only an inheriting child
// would hold.
std::string HandleState() {
  const std::string number = Variable("QEL_GAME_PROCESS_TEST_HANDLE");
  if (number == "<absent>") return "<absent>";
  const HANDLE handle = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(std::stoull(number)));
  DWORD flags = 0;
  return GetHandleInformation(handle, &flags) ? "held" : "not held";
}

}  // namespace

int main() {
  char folder[MAX_PATH] = "";
  GetCurrentDirectoryA(MAX_PATH, folder);
  const std::string report = std::string(GetCommandLineA()) + "\n" + folder + "\n" +
                             Variable("QEL_GAME_PROCESS_TEST_VALUE") + "\n" + Variable("QEL_GAME_PARAMETERS") + "\n" +
                             WideVariable(L"QEL_GAME_PROCESS_TEST_WIDE") + "\n" + HandleState() + "\n";
  FILE* file = std::fopen("report.txt.part", "wb");
  if (file == nullptr) return 1;
  std::fwrite(report.data(), 1, report.size(), file);
  std::fclose(file);
  return MoveFileExA("report.txt.part", "report.txt", MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}
