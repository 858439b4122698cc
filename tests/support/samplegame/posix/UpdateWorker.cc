// The worker's waitable handle is the read end of a pipe whose write end the
// worker closes as its last act.
#include "UpdateWorker.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <mutex>
#include <thread>
#include <vector>

namespace sample {
namespace {

struct TWorker {
  std::thread Thread;
  int ReadEnd = -1;
};

// Workers are joined, and the read ends closed, when the module is unloaded:
// the launcher waits for the handle first, so these joins find them ended.
struct TWorkers {
  std::mutex Lock;
  std::vector<TWorker> All;
  ~TWorkers() {
    for (TWorker& worker : All) {
      if (worker.Thread.joinable()) worker.Thread.join();
      if (worker.ReadEnd >= 0) close(worker.ReadEnd);
    }
  }
} g_workers;

}  // namespace

std::optional<uint32_t> StartWorker(std::function<void()> work, bool with_handle) {
  int ends[2] = {-1, -1};
  if (with_handle && pipe2(ends, O_CLOEXEC) != 0) return std::nullopt;
  std::lock_guard<std::mutex> hold(g_workers.Lock);
  TWorker& worker = g_workers.All.emplace_back();
  worker.ReadEnd = ends[0];
  const int write_end = ends[1];
  worker.Thread = std::thread([work = std::move(work), write_end] {
    work();
    if (write_end >= 0) close(write_end);
  });
  return with_handle ? static_cast<uint32_t>(ends[0]) : 0;
}

std::string ModuleFolder() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&ModuleFolder), &info) == 0 || info.dli_fname == nullptr) return "";
  const std::string path = info.dli_fname;
  return path.substr(0, path.rfind('/') + 1);
}

}  // namespace sample
