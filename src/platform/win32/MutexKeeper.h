// A thread that owns a kernel mutex on behalf of its process. Windows gives
// a mutex's ownership to the thread that waited for it, and only that
// thread can release it; the named mutex's ownership, though, belongs to
// whichever thread of ours obtained it and must go when the last handle of
// the name goes, on whatever thread that happens. So one thread of our own
// waits for and releases the kernel mutex, at the request of the others.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace qel {

class TMutexKeeper {
 public:
  // `mutex` must outlive the keeper.
  TMutexKeeper(HANDLE mutex, std::string name);
  // Releases the mutex if it holds it, and ends the thread.
  ~TMutexKeeper();
  TMutexKeeper(const TMutexKeeper&) = delete;
  TMutexKeeper& operator=(const TMutexKeeper&) = delete;

  // Waits at most `timeout_ms` for the mutex; true when held afterwards. A
  // mutex its last owner left without releasing (its thread or process
  // ended: WAIT_ABANDONED) is obtained too. Raises EQelError.
  bool Acquire(DWORD timeout_ms);
  // Raises EQelError.
  void Release();

 private:
  enum class TJob { None, Acquire, Release, Stop };

  // Runs `job` on the keeper's thread; false with Error_ set on failure.
  bool Run(TJob job, DWORD timeout_ms = 0);
  void Serve();

  HANDLE Mutex_;
  std::string Name_;
  std::mutex CallLock_;  // one request at a time
  std::mutex Lock_;
  std::condition_variable Changed_;
  TJob Job_ = TJob::None;
  DWORD Timeout_ = 0;
  bool Answer_ = false;
  DWORD Error_ = 0;
  bool Held_ = false;  // the keeper's thread owns the mutex
  std::thread Thread_;
};

}  // namespace qel
