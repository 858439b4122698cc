// The pack tests' system facts on Windows: the program is started directly,
// its command line quoted by the C runtime's rules, its output and errors
// written to one inherited file handle.
#include <windows.h>

#include "PackSystem.h"
#include "win32/CommandLineArgument.h"
#include "platform/win32/SystemError.h"

namespace qel::test {

std::string QuotedArgument(const std::string& argument) { return CommandLineArgument(argument); }

int RunProgram(const std::string& program, const std::string& arguments, const std::string& log) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  const HANDLE output = ::CreateFileA(log.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (output == INVALID_HANDLE_VALUE) return -1;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = output;
  startup.hStdError = output;
  std::string command_line = QuotedArgument(program) + " " + arguments;
  PROCESS_INFORMATION process{};
  const bool started = ::CreateProcessA(program.c_str(), command_line.data(), nullptr, nullptr, TRUE,
                                        0, nullptr, nullptr, &startup, &process);
  ::CloseHandle(output);
  if (!started) return -1;
  DWORD code = 0;
  const bool ended = ::WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0 &&
                     ::GetExitCodeProcess(process.hProcess, &code);
  if (!ended) ::TerminateProcess(process.hProcess, 1);
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  return ended ? static_cast<int>(code) : -1;
}

bool MakeNamedPipe(const std::string&) { return false; }

std::string NoSuchFolderText() { return SystemErrorText(ERROR_PATH_NOT_FOUND); }
std::string NameTooLongText() { return SystemErrorText(ERROR_FILENAME_EXCED_RANGE); }

}  // namespace qel::test
