// The sample game's update module as a Windows game ships it. UpdateGame
// starts a worker that advances the record's progress and then sets its
// status, as a real game's patcher would while it checks and mends its
// files. What it does is told by the update information, a list of items
// separated by ";":
//   return=N    answer N at once and start nothing
//   steps=N     progress in N steps (default 4), stepms=M apart (default 5)
//   status=K    the status it ends with (default 1, finished)
//   untilstop   after the steps, keep working until the stop request
// The worker honours the stop request between steps (ending with status 3)
// and, when it ends, writes "update-worker-ended.txt" beside the module. The
// waitable handle is the worker thread's own: it is signalled once the
// thread has wholly ended, so the module may be unloaded after the wait.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "launch/GameModules.h"
#include "platform/Export.h"

namespace {

struct TBehaviour {
  int ReturnCode = 0;
  bool ReturnAtOnce = false;
  int Steps = 4;
  int StepMs = 5;
  uint8_t FinalStatus = 1;
  bool UntilStop = false;
};

TBehaviour ParseBehaviour(const std::string& info) {
  TBehaviour behaviour;
  size_t start = 0;
  while (start <= info.size()) {
    size_t end = info.find(';', start);
    if (end == std::string::npos) end = info.size();
    const std::string item = info.substr(start, end - start);
    const auto number = [&](const char* key) { return std::atoi(item.c_str() + std::string(key).size()); };
    if (item.starts_with("return=")) {
      behaviour.ReturnAtOnce = true;
      behaviour.ReturnCode = number("return=");
    } else if (item.starts_with("steps=")) {
      behaviour.Steps = number("steps=");
    } else if (item.starts_with("stepms=")) {
      behaviour.StepMs = number("stepms=");
    } else if (item.starts_with("status=")) {
      behaviour.FinalStatus = static_cast<uint8_t>(number("status="));
    } else if (item == "untilstop") {
      behaviour.UntilStop = true;
    }
    start = end + 1;
  }
  return behaviour;
}

std::string ModuleFolder() {
  HMODULE module = nullptr;
  if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCSTR>(&ParseBehaviour), &module))
    return "";
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(module, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return "";
  const std::string text(path, length);
  return text.substr(0, text.rfind('\\') + 1);
}

// The threads' handles are closed when the module is unloaded: the launcher
// waits for each first, so the threads have ended by then.
struct TWorkers {
  std::mutex Lock;
  std::vector<HANDLE> Threads;
  ~TWorkers() {
    for (HANDLE thread : Threads) CloseHandle(thread);
  }
} g_workers;

struct TJob {
  qel::TUpdateGameRec* Rec;
  TBehaviour Behaviour;
};

bool StopRequested(qel::TUpdateGameRec* rec) {
  return std::atomic_ref<uint8_t>(rec->StopRequest).load(std::memory_order_acquire) != 0;
}

void Report(qel::TUpdateGameRec* rec, uint16_t progress, uint8_t status) {
  std::atomic_ref<uint16_t>(rec->Progress).store(progress, std::memory_order_release);
  std::atomic_ref<uint8_t>(rec->Status).store(status, std::memory_order_release);
}

DWORD WINAPI Work(void* parameter) {
  const TJob job = *static_cast<TJob*>(parameter);
  delete static_cast<TJob*>(parameter);
  qel::TUpdateGameRec* rec = job.Rec;
  const TBehaviour& behaviour = job.Behaviour;
  uint8_t status = behaviour.FinalStatus;
  for (int step = 1; step <= behaviour.Steps; ++step) {
    if (StopRequested(rec)) {
      status = 3;
      break;
    }
    Sleep(static_cast<DWORD>(behaviour.StepMs));
    Report(rec, static_cast<uint16_t>(100 * step / behaviour.Steps), 0);
  }
  while (behaviour.UntilStop && !StopRequested(rec)) Sleep(static_cast<DWORD>(behaviour.StepMs));
  if (behaviour.UntilStop) status = 3;
  std::ofstream(ModuleFolder() + "update-worker-ended.txt", std::ios::binary) << static_cast<int>(status) << "\n";
  Report(rec, std::atomic_ref<uint16_t>(rec->Progress).load(), status);
  return 0;
}

}  // namespace

QEL_EXPORT int32_t QEL_MODULECALL UpdateGame(qel::TUpdateGameRec* rec) {
  const TBehaviour behaviour = ParseBehaviour(rec->UpdateInfo);
  if (behaviour.ReturnAtOnce) return behaviour.ReturnCode;
  std::lock_guard<std::mutex> hold(g_workers.Lock);
  auto* job = new TJob{rec, behaviour};
  HANDLE thread = CreateThread(nullptr, 0, &Work, job, CREATE_SUSPENDED, nullptr);
  if (thread == nullptr) {
    delete job;
    return 99;
  }
  g_workers.Threads.push_back(thread);
  // Kernel handles fit in 32 bits, also in 64-bit processes.
  std::atomic_ref<uint32_t>(rec->WaitHandle)
      .store(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(thread)), std::memory_order_release);
  ResumeThread(thread);
  return 0;
}
