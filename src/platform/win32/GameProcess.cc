#include "platform/GameProcess.h"

#include <windows.h>

#include <memory>

#include "platform/AnsiText.h"
#include "platform/Error.h"
#include "platform/win32/GameEnvironment.h"
#include "platform/win32/SystemError.h"

namespace qel {
namespace {

struct TFreeEnvironment {
  void operator()(wchar_t* block) const { FreeEnvironmentStringsW(block); }
};

std::u16string CurrentEnvironmentBlock() {
  const std::unique_ptr<wchar_t, TFreeEnvironment> block(GetEnvironmentStringsW());
  if (!block) throw EQelError("cannot read the environment: " + LastErrorText());
  const wchar_t* end = block.get();
  while (*end != L'\0') end += wcslen(end) + 1;
  return std::u16string(reinterpret_cast<const char16_t*>(block.get()), static_cast<size_t>(end - block.get()) + 1);
}

}  // namespace

// The command line is the parameter string alone, without the program's name
// in front: games read it whole. The block is in UTF-16, so variables whose
// values the ANSI code page cannot hold reach the game unchanged.
uint32_t StartGameProcess(const std::string& program, const std::string& parameters,
                          const std::string& working_folder, const std::string& environment_parameters) {
  std::u16string environment =
      win32::GameEnvironmentBlock(CurrentEnvironmentBlock(), AnsiToUtf16(environment_parameters));
  std::string command_line = parameters;  // the system may write into it
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(program.c_str(), command_line.data(), nullptr, nullptr, /*bInheritHandles=*/FALSE,
                      CREATE_UNICODE_ENVIRONMENT, environment.data(), working_folder.c_str(), &startup, &process))
    throw EQelError("cannot start " + program + ": " + LastErrorText());
  // The game is never waited for nor ended; its handles would only keep its
  // remains in the system after it ends.
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return process.dwProcessId;
}

}  // namespace qel
