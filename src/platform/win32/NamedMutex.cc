#include "platform/NamedMutex.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "platform/Error.h"
#include "platform/win32/KernelObjectName.h"
#include "platform/win32/MutexKeeper.h"
#include "platform/win32/OwnedHandle.h"
#include "platform/win32/SystemError.h"

namespace qel {

// The process's view of one named mutex: one kernel mutex, which the keeper
// holds while some thread of this process owns the named mutex. Owned by
// the table below; handles point to it.
class TNamedMutex::TState {
 public:
  TState(TOwnedHandle mutex, const std::string& name) : Mutex(std::move(mutex)), Keeper(Mutex.Get(), name) {}

  TOwnedHandle Mutex;
  TMutexKeeper Keeper;
  std::thread::id Owner;
  unsigned Count = 0;
  unsigned Handles = 0;
  bool Acquiring = false;  // a thread of ours waits for the kernel mutex
  std::condition_variable Freed;
};

namespace {

struct TMutexTable {
  std::mutex Lock;  // guards every state and the map
  std::map<std::string, std::unique_ptr<TNamedMutex::TState>> States;
};

TMutexTable& Table() {
  static TMutexTable table;
  return table;
}

}  // namespace

TNamedMutex::TNamedMutex(std::string_view name) {
  const std::string kernel_name = KernelObjectName(name);
  TMutexTable& table = Table();
  std::lock_guard<std::mutex> guard(table.Lock);
  auto found = table.States.find(kernel_name);
  if (found == table.States.end()) {
    // Not taken: CreateMutexA's initial ownership would go to this thread.
    TOwnedHandle mutex(::CreateMutexA(nullptr, FALSE, kernel_name.c_str()));
    if (!mutex.Valid()) RaiseSystemError("cannot open the mutex", kernel_name, ::GetLastError());
    found = table.States.emplace(kernel_name, std::make_unique<TState>(std::move(mutex), kernel_name)).first;
  }
  State_ = found->second.get();
  ++State_->Handles;
}

TNamedMutex::~TNamedMutex() {
  TMutexTable& table = Table();
  std::lock_guard<std::mutex> guard(table.Lock);
  if (--State_->Handles > 0) return;
  for (auto it = table.States.begin(); it != table.States.end(); ++it) {
    if (it->second.get() != State_) continue;
    // The keeper releases the kernel mutex, should a thread still own it.
    table.States.erase(it);
    return;
  }
}

bool TNamedMutex::Wait(int timeout_ms) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(std::max(timeout_ms, 0));
  const std::thread::id self = std::this_thread::get_id();
  std::unique_lock<std::mutex> guard(Table().Lock);
  TState& state = *State_;
  if (state.Count > 0 && state.Owner == self) {
    ++state.Count;
    return true;
  }
  // Another thread of ours owns it or waits for it: its release wakes us.
  if (!state.Freed.wait_until(guard, deadline, [&] { return state.Count == 0 && !state.Acquiring; })) return false;
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  state.Acquiring = true;
  guard.unlock();
  bool obtained = false;
  try {
    obtained = state.Keeper.Acquire(static_cast<DWORD>(std::max<int64_t>(left, 0)));
  } catch (...) {
    guard.lock();
    state.Acquiring = false;
    state.Freed.notify_all();
    throw;
  }
  guard.lock();
  state.Acquiring = false;
  if (obtained) {
    state.Owner = self;
    state.Count = 1;
  } else {
    state.Freed.notify_all();
  }
  return obtained;
}

void TNamedMutex::Release() {
  std::lock_guard<std::mutex> guard(Table().Lock);
  TState& state = *State_;
  if (state.Count == 0 || state.Owner != std::this_thread::get_id())
    throw EQelError("the named mutex is not owned by this thread");
  if (--state.Count > 0) return;
  state.Owner = std::thread::id();
  state.Freed.notify_all();
  state.Keeper.Release();
}

}  // namespace qel
