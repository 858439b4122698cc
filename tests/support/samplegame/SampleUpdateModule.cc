// The sample game's update module. UpdateGame starts a worker that advances
// the record's progress and then sets its status, as a real game's patcher
// would while it checks and mends its files. What it does is told by the
// update information, a list of items separated by ";":
//   return=N    answer N at once and start nothing
//   steps=N     progress in N steps (default 4), stepms=M apart (default 5)
//   status=K    the status it ends with (default 1, finished)
//   untilstop   after the steps, keep working until the stop request
//   nohandle    hand out no waitable handle
// The worker honours the stop request between steps (ending with status 3)
// and, when it ends, writes "update-worker-ended.txt" beside the module. The
// waitable handle becomes ready once the worker has wholly ended
// (UpdateWorker.h, one part for each system).
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "UpdateWorker.h"
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
  bool NoHandle = false;
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
    } else if (item == "nohandle") {
      behaviour.NoHandle = true;
    }
    start = end + 1;
  }
  return behaviour;
}

bool StopRequested(qel::TUpdateGameRec* rec) {
  return std::atomic_ref<uint8_t>(rec->StopRequest).load(std::memory_order_acquire) != 0;
}

void Report(qel::TUpdateGameRec* rec, uint16_t progress, uint8_t status) {
  std::atomic_ref<uint16_t>(rec->Progress).store(progress, std::memory_order_release);
  std::atomic_ref<uint8_t>(rec->Status).store(status, std::memory_order_release);
}

void Work(qel::TUpdateGameRec* rec, TBehaviour behaviour) {
  const auto pause = std::chrono::milliseconds(behaviour.StepMs);
  uint8_t status = behaviour.FinalStatus;
  for (int step = 1; step <= behaviour.Steps; ++step) {
    if (StopRequested(rec)) {
      status = 3;
      break;
    }
    std::this_thread::sleep_for(pause);
    Report(rec, static_cast<uint16_t>(100 * step / behaviour.Steps), 0);
  }
  while (behaviour.UntilStop && !StopRequested(rec)) std::this_thread::sleep_for(pause);
  if (behaviour.UntilStop) status = 3;
  std::ofstream(sample::ModuleFolder() + "update-worker-ended.txt", std::ios::binary) << static_cast<int>(status)
                                                                                     << "\n";
  Report(rec, std::atomic_ref<uint16_t>(rec->Progress).load(), status);
}

}  // namespace

QEL_EXPORT int32_t QEL_MODULECALL UpdateGame(qel::TUpdateGameRec* rec) {
  const TBehaviour behaviour = ParseBehaviour(rec->UpdateInfo);
  if (behaviour.ReturnAtOnce) return behaviour.ReturnCode;
  const std::optional<uint32_t> handle = sample::StartWorker([rec, behaviour] { Work(rec, behaviour); },
                                                             !behaviour.NoHandle);
  if (!handle) return 99;
  // The launcher reads the record once this call has returned.
  std::atomic_ref<uint32_t>(rec->WaitHandle).store(*handle, std::memory_order_release);
  return 0;
}
