#include "platform/win32/MutexKeeper.h"

#include "platform/Error.h"
#include "platform/win32/SystemError.h"

namespace qel {

TMutexKeeper::TMutexKeeper(HANDLE mutex, std::string name)
    : Mutex_(mutex), Name_(std::move(name)), Thread_([this] { Serve(); }) {}

TMutexKeeper::~TMutexKeeper() {
  Run(TJob::Stop);
  Thread_.join();
}

bool TMutexKeeper::Acquire(DWORD timeout_ms) {
  std::lock_guard<std::mutex> call(CallLock_);
  if (!Run(TJob::Acquire, timeout_ms)) RaiseSystemError("cannot wait for the mutex", Name_, Error_);
  return Answer_;
}

void TMutexKeeper::Release() {
  std::lock_guard<std::mutex> call(CallLock_);
  if (!Run(TJob::Release)) RaiseSystemError("cannot release the mutex", Name_, Error_);
}

bool TMutexKeeper::Run(TJob job, DWORD timeout_ms) {
  std::unique_lock<std::mutex> guard(Lock_);
  Job_ = job;
  Timeout_ = timeout_ms;
  Changed_.notify_all();
  Changed_.wait(guard, [this] { return Job_ == TJob::None; });
  return Error_ == 0;
}

void TMutexKeeper::Serve() {
  std::unique_lock<std::mutex> guard(Lock_);
  for (;;) {
    Changed_.wait(guard, [this] { return Job_ != TJob::None; });
    const TJob job = Job_;
    const DWORD timeout = Timeout_;
    guard.unlock();
    bool answer = false;
    DWORD error = 0;
    if (job == TJob::Acquire) {
      const DWORD waited = ::WaitForSingleObject(Mutex_, timeout);
      answer = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
      if (waited == WAIT_FAILED) error = ::GetLastError();
    } else if (Held_ && !::ReleaseMutex(Mutex_)) {
      error = ::GetLastError();
    }
    guard.lock();
    if (job == TJob::Acquire && answer) Held_ = true;
    if (job != TJob::Acquire && error == 0) Held_ = false;
    Answer_ = answer;
    Error_ = error;
    Job_ = TJob::None;
    Changed_.notify_all();
    if (job == TJob::Stop) return;
  }
}

}  // namespace qel
