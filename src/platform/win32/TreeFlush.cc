#include "platform/TreeFlush.h"

#include <windows.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "platform/Error.h"
#include "platform/TreeFiles.h"
#include "platform/win32/OwnedHandle.h"
#include "platform/win32/SystemError.h"

namespace qel {
namespace {

// Windows flushes one file handle at a time (FlushFileBuffers), and a
// folder through a handle of its own. A thread of the flush's own does it
// while the writer goes on: each file told of is duplicated and flushed
// there, so that the writer may close its handle at once.
class TBackgroundFlush final : public TTreeFlush {
 public:
  // Without Finish the run failed: what is still queued need not be flushed.
  ~TBackgroundFlush() override {
    {
      std::lock_guard<std::mutex> guard(Lock_);
      Queue_.clear();
    }
    Stop();
  }

  void FileWritten(const TTreeFile& file) override {
    HANDLE copy = nullptr;
    if (!::DuplicateHandle(::GetCurrentProcess(), reinterpret_cast<HANDLE>(file.Handle()), ::GetCurrentProcess(),
                           &copy, 0, FALSE, DUPLICATE_SAME_ACCESS))
      RaiseSystemError("cannot keep for flushing", file.Path(), ::GetLastError());
    Enqueue({TOwnedHandle(copy), file.Path()});
  }

  void FolderChanged(const std::string& path) override {
    // A folder's entries reach the disk through a handle open for writing.
    TOwnedHandle folder(::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!folder.Valid()) RaiseSystemError("cannot open for flushing", path, ::GetLastError());
    Enqueue({std::move(folder), path});
  }

  void Finish() override {
    Stop();
    std::lock_guard<std::mutex> guard(Lock_);
    if (!Failure_.empty()) throw EQelError(Failure_);
  }

 private:
  struct TPending {
    TOwnedHandle Handle;
    std::string Path;
  };

  void Enqueue(TPending pending) {
    std::lock_guard<std::mutex> guard(Lock_);
    if (Stopping_) throw EQelError("the flush is finished: " + pending.Path);
    Queue_.push_back(std::move(pending));
    if (!Worker_.joinable()) Worker_ = std::thread([this] { Run(); });
    Arrived_.notify_one();
  }

  void Run() {
    std::unique_lock<std::mutex> guard(Lock_);
    for (;;) {
      Arrived_.wait(guard, [this] { return Stopping_ || !Queue_.empty(); });
      if (Queue_.empty()) return;
      TPending pending = std::move(Queue_.front());
      Queue_.pop_front();
      guard.unlock();
      const bool flushed = ::FlushFileBuffers(pending.Handle.Get()) != 0;
      const DWORD error = ::GetLastError();
      pending.Handle.Reset();
      guard.lock();
      if (!flushed && Failure_.empty())
        Failure_ = "cannot flush " + pending.Path + ": " + SystemErrorText(error);
    }
  }

  // Lets the thread flush what is queued and end.
  void Stop() {
    {
      std::lock_guard<std::mutex> guard(Lock_);
      Stopping_ = true;
      Arrived_.notify_one();
    }
    if (Worker_.joinable()) Worker_.join();
  }

  std::mutex Lock_;
  std::condition_variable Arrived_;
  std::deque<TPending> Queue_;
  bool Stopping_ = false;
  std::string Failure_;  // the first failure, as told by Finish
  std::thread Worker_;
};

}  // namespace

std::unique_ptr<TTreeFlush> MakeTreeFlush() { return std::make_unique<TBackgroundFlush>(); }

}  // namespace qel
