// Child processes on Windows: CreateProcessA with anonymous pipes for
// standard input and output. An anonymous pipe cannot be waited on with a
// time limit, so answers are looked for with PeekNamedPipe a few
// milliseconds apart.
#include <windows.h>

#include <stdexcept>
#include <thread>

#include "ChildProcess.h"
#include "win32/CommandLineArgument.h"

namespace qel::test {
namespace {

using Clock = std::chrono::steady_clock;

void MakePipe(HANDLE& read_end, HANDLE& write_end, bool child_reads) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  if (!CreatePipe(&read_end, &write_end, &inherit, 0))
    throw std::runtime_error("pipe: error " + std::to_string(GetLastError()));
  // Only the child's end is inherited.
  SetHandleInformation(child_reads ? write_end : read_end, HANDLE_FLAG_INHERIT, 0);
}

}  // namespace

struct TChildProcess::TProcess {
  PROCESS_INFORMATION Info{};
  HANDLE Input = nullptr;   // its standard input
  HANDLE Output = nullptr;  // its standard output
  bool Reaped = false;
  ~TProcess() {
    for (HANDLE handle : {Input, Output, Info.hProcess, Info.hThread})
      if (handle != nullptr) CloseHandle(handle);
  }
};

TChildProcess::TChildProcess(const std::string& program, const std::vector<std::string>& args)
    : Process_(std::make_unique<TProcess>()) {
  HANDLE child_input = nullptr;
  HANDLE child_output = nullptr;
  MakePipe(child_input, Process_->Input, true);
  MakePipe(Process_->Output, child_output, false);

  std::string command_line = CommandLineArgument(program);
  for (const std::string& arg : args) command_line += " " + CommandLineArgument(arg);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = child_input;
  startup.hStdOutput = child_output;
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  const bool started = CreateProcessA(program.c_str(), command_line.data(), nullptr, nullptr, TRUE, 0,
                                      nullptr, nullptr, &startup, &Process_->Info);
  const DWORD failure = GetLastError();
  CloseHandle(child_input);
  CloseHandle(child_output);
  if (!started) {
    Process_->Reaped = true;
    throw std::runtime_error("cannot start " + program + ": error " + std::to_string(failure));
  }
}

TChildProcess::~TChildProcess() { Kill(); }

uint32_t TChildProcess::Pid() const { return Process_->Info.dwProcessId; }

void TChildProcess::WriteLine(std::string_view line) {
  std::string text(line);
  text += '\n';
  std::string_view left = text;
  while (!left.empty()) {
    DWORD put = 0;
    if (!WriteFile(Process_->Input, left.data(), static_cast<DWORD>(left.size()), &put, nullptr))
      return;  // it has ended; its answers will be missing
    left.remove_prefix(put);
  }
}

bool TChildProcess::ReadMore(Clock::time_point deadline) {
  for (;;) {
    DWORD waiting = 0;
    if (!PeekNamedPipe(Process_->Output, nullptr, 0, nullptr, &waiting, nullptr)) return false;
    if (waiting > 0) {
      char buffer[4096];
      DWORD got = 0;
      if (!ReadFile(Process_->Output, buffer, std::min<DWORD>(waiting, sizeof buffer), &got, nullptr) ||
          got == 0)
        return false;
      Pending_.append(buffer, got);
      return true;
    }
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

void TChildProcess::Kill() {
  if (Process_->Reaped) return;
  TerminateProcess(Process_->Info.hProcess, 1);
  WaitForSingleObject(Process_->Info.hProcess, INFINITE);
  Process_->Reaped = true;
}

std::optional<int> TChildProcess::WaitForExit(int timeout_ms) {
  if (Process_->Reaped) return std::nullopt;
  if (WaitForSingleObject(Process_->Info.hProcess, static_cast<DWORD>(timeout_ms)) != WAIT_OBJECT_0)
    return std::nullopt;
  Process_->Reaped = true;
  DWORD code = 0;
  if (!GetExitCodeProcess(Process_->Info.hProcess, &code)) return std::nullopt;
  return static_cast<int>(code);
}

}  // namespace qel::test
