// The worker's waitable handle is the worker thread's own: it is signalled
// once the thread has wholly ended, so the module may be unloaded after the
// wait.
#include "UpdateWorker.h"

#include <windows.h>

#include <mutex>
#include <vector>

namespace sample {
namespace {

// The threads' handles are closed when the module is unloaded: the launcher
// waits for each first, so the threads have ended by then. (They are never
// joined there: a thread cannot end while the loader is unloading.)
struct TWorkers {
  std::mutex Lock;
  std::vector<HANDLE> Threads;
  ~TWorkers() {
    for (HANDLE thread : Threads) CloseHandle(thread);
  }
} g_workers;

DWORD WINAPI RunWork(void* parameter) {
  const std::function<void()> work = std::move(*static_cast<std::function<void()>*>(parameter));
  delete static_cast<std::function<void()>*>(parameter);
  work();
  return 0;
}

}  // namespace

std::optional<uint32_t> StartWorker(std::function<void()> work, bool with_handle) {
  auto* job = new std::function<void()>(std::move(work));
  HANDLE thread = CreateThread(nullptr, 0, &RunWork, job, 0, nullptr);
  if (thread == nullptr) {
    delete job;
    return std::nullopt;
  }
  std::lock_guard<std::mutex> hold(g_workers.Lock);
  g_workers.Threads.push_back(thread);
  // Kernel handles fit in 32 bits, also in 64-bit processes.
  return with_handle ? static_cast<uint32_t>(reinterpret_cast<uintptr_t>(thread)) : 0;
}

std::string ModuleFolder() {
  HMODULE module = nullptr;
  if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCSTR>(&ModuleFolder), &module))
    return "";
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(module, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return "";
  const std::string text(path, length);
  return text.substr(0, text.rfind('\\') + 1);
}

}  // namespace sample
