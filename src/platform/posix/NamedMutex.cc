#include "platform/NamedMutex.h"

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

#include "platform/Error.h"
#include "platform/posix/ByteLocks.h"

namespace qel {

// The process's view of one named mutex: one open file, whose lock on byte 0
// is held while some thread of this process owns the mutex. Owned by the
// table below; handles point to it.
class TNamedMutex::TState {
 public:
  TState(TFileDescriptor file, std::pair<dev_t, ino_t> identity)
      : File(std::move(file)), Identity(identity) {}

  TFileDescriptor File;
  std::pair<dev_t, ino_t> Identity;
  std::thread::id Owner;
  unsigned Count = 0;
  unsigned Handles = 0;
  std::condition_variable Freed;
};

namespace {

// How often the lock is tried while another process holds it: its release
// cannot be awaited, only seen.
constexpr std::chrono::milliseconds kPollInterval{1};

using TFileIdentity = std::pair<dev_t, ino_t>;

struct TMutexTable {
  std::mutex Lock;  // guards every state and the map
  std::map<TFileIdentity, std::unique_ptr<TNamedMutex::TState>> States;
};

TMutexTable& Table() {
  static TMutexTable table;
  return table;
}

TFileIdentity IdentityOf(const TFileDescriptor& file) {
  struct stat info {};
  if (::fstat(file.Get(), &info) != 0) throw EQelError("cannot examine a named mutex");
  return {info.st_dev, info.st_ino};
}

}  // namespace

TNamedMutex::TNamedMutex(std::string_view name) {
  TFileDescriptor file = OpenNamedObjectFile(name, ".mutex");
  const TFileIdentity identity = IdentityOf(file);
  TMutexTable& table = Table();
  std::lock_guard<std::mutex> guard(table.Lock);
  auto found = table.States.find(identity);
  // A second handle of the name shares the first one's open file, so that
  // ownership is the thread's and not the handle's; the new open file is
  // then closed again.
  if (found == table.States.end())
    found = table.States.emplace(identity, std::make_unique<TState>(std::move(file), identity)).first;
  State_ = found->second.get();
  ++State_->Handles;
}

TNamedMutex::~TNamedMutex() {
  TMutexTable& table = Table();
  std::lock_guard<std::mutex> guard(table.Lock);
  if (--State_->Handles > 0) return;
  // Closing the file frees its lock, should a thread still own the mutex.
  table.States.erase(State_->Identity);
}

bool TNamedMutex::Wait(int timeout_ms) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(std::max(timeout_ms, 0));
  const std::thread::id self = std::this_thread::get_id();
  std::unique_lock<std::mutex> guard(Table().Lock);
  if (State_->Count > 0 && State_->Owner == self) {
    ++State_->Count;
    return true;
  }
  for (;;) {
    if (State_->Count == 0 && TryLockByte(State_->File, 0)) {
      State_->Owner = self;
      State_->Count = 1;
      return true;
    }
    const Clock::time_point now = Clock::now();
    if (now >= deadline) return false;
    // A thread of this process that releases wakes us at once.
    State_->Freed.wait_until(guard, std::min(deadline, now + kPollInterval));
  }
}

void TNamedMutex::Release() {
  std::lock_guard<std::mutex> guard(Table().Lock);
  if (State_->Count == 0 || State_->Owner != std::this_thread::get_id())
    throw EQelError("the named mutex is not owned by this thread");
  if (--State_->Count > 0) return;
  State_->Owner = std::thread::id();
  UnlockByte(State_->File, 0);
  State_->Freed.notify_all();
}

}  // namespace qel
