// nginx from a Windows test program under Wine: the Linux program, started
// through CreateProcessW, which Wine hands to the Unix side. Such a process
// has no Windows handle, so its end shows only in its log and pid file.
#include <windows.h>

#include <memory>
#include <stdexcept>

#include "NginxHost.h"
#include "NginxServer.h"

namespace qel::test {
namespace {

// Wine's own conversions between its DOS and Unix file names; absent on
// Windows itself, where there is no nginx to run.
using TUnixNameOf = char*(CDECL*)(const WCHAR*);
using TDosNameOf = WCHAR*(CDECL*)(const char*);

struct THeapFree {
  void operator()(void* memory) const { HeapFree(GetProcessHeap(), 0, memory); }
};

template <typename T>
T WineFunction(const char* name) {
  return reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), name)));
}

std::wstring Wide(const std::string& text) {
  std::wstring wide(text.size(), L'\0');
  wide.resize(static_cast<size_t>(MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                                      wide.data(), static_cast<int>(wide.size()))));
  return wide;
}

std::string Narrow(const std::wstring& wide) {
  std::string text(wide.size() * 2, '\0');
  text.resize(static_cast<size_t>(WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()),
                                                       text.data(), static_cast<int>(text.size()), nullptr,
                                                       nullptr)));
  return text;
}

// The DOS name of an existing Unix file; empty when there is none.
std::wstring DosName(const std::string& unix_name) {
  const auto dos_name_of = WineFunction<TDosNameOf>("wine_get_dos_file_name");
  if (dos_name_of == nullptr) return {};
  const std::unique_ptr<WCHAR, THeapFree> name(dos_name_of(unix_name.c_str()));
  if (name == nullptr || GetFileAttributesW(name.get()) == INVALID_FILE_ATTRIBUTES) return {};
  return name.get();
}

struct THandleClose {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using TOwnedHandle = std::unique_ptr<void, THandleClose>;

TOwnedHandle InheritedFile(const std::wstring& name, DWORD access, DWORD disposition) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  const HANDLE file = CreateFileW(name.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, disposition,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot open " + Narrow(name) + " for nginx");
  return TOwnedHandle(file);
}

}  // namespace

std::string FindNginx() {
  std::vector<std::string> candidates = {"/usr/sbin/nginx", "/usr/local/sbin/nginx"};
  if (const char* chosen = std::getenv("QEL_NGINX"); chosen != nullptr && *chosen != '\0') candidates = {chosen};
  for (const std::string& candidate : candidates) {
    const std::wstring program = DosName(candidate);
    if (!program.empty()) return Narrow(program);
  }
  return "";
}

TNginxFolder MakeNginxFolder() {
  const auto unix_name_of = WineFunction<TUnixNameOf>("wine_get_unix_file_name");
  WCHAR temp[MAX_PATH + 1];
  const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
  if (unix_name_of == nullptr || length == 0 || length > MAX_PATH) {
    throw std::runtime_error("no temporary folder for nginx");
  }
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    const std::wstring folder = std::wstring(temp) + L"qel-nginx-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                                std::to_wstring(GetTickCount() + attempt);
    if (!CreateDirectoryW(folder.c_str(), nullptr)) continue;
    const std::unique_ptr<char, THeapFree> unix_name(unix_name_of(folder.c_str()));
    if (unix_name == nullptr) break;
    return {Narrow(folder), unix_name.get()};
  }
  throw std::runtime_error("no temporary folder for nginx");
}

TNginxProcess::TNginxProcess(const std::string& program, const std::vector<std::string>& args,
                             const std::string& output) {
  // Wine splits the command line into the Unix program's arguments by the C
  // runtime's rules; the arguments here are paths and options without blanks.
  std::wstring command_line = L"nginx";
  for (const std::string& arg : args) {
    if (arg.empty() || arg.find_first_of(" \t\"") != std::string::npos) {
      throw std::runtime_error("an nginx argument that needs quoting: " + arg);
    }
    command_line += L" " + Wide(arg);
  }
  const TOwnedHandle input = InheritedFile(L"NUL", GENERIC_READ, OPEN_EXISTING);
  const TOwnedHandle out = InheritedFile(Wide(output), FILE_APPEND_DATA, OPEN_ALWAYS);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = input.get();
  startup.hStdOutput = out.get();
  startup.hStdError = out.get();
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(Wide(program).c_str(), command_line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                      &startup, &info)) {
    throw std::runtime_error("cannot start " + program + ": error " + std::to_string(GetLastError()));
  }
  // A Unix program comes back without handles; a Windows one would not.
  if (info.hThread != nullptr) CloseHandle(info.hThread);
  if (info.hProcess != nullptr) CloseHandle(info.hProcess);
}

TNginxProcess::~TNginxProcess() = default;

bool TNginxProcess::Ended() { return false; }

}  // namespace qel::test
