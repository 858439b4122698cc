// Checks a pack's signature and header and unpacks it into a folder, on a
// thread of its own (with a few more that inflate blocks ahead of it). The
// owner polls Finished, then reads Succeeded, then destroys the object. The
// pack's memory is read in place: the owner keeps it unchanged and alive
// until the thread has finished.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>

#include "pack/InflatePool.h"
#include "pack/PackFailure.h"
#include "pack/StepResult.h"
#include "platform/RsaVerify.h"

namespace qel {

class TTreeFlush;

struct TExtractOptions {
  // Bytes hashed per step of the signature check.
  uint32_t ChunkSize = 8388608;
  // Test seam: called on the extraction thread after every step of the
  // signature check and of the unpacking, before the stop request is read.
  std::function<void()> AfterStep;
  // The SHA-1 of the signed region, computed by the caller as the bytes
  // arrived: the region is not hashed again, only the signature checked.
  std::optional<TSha1Digest> SignedDigest;
  // Called on the extraction thread once the pack proved sound (signature,
  // header, game), before the first byte is written; an exception from it
  // fails the run with nothing written.
  std::function<void()> BeforeWriting;
  // The files written and the folders made or changed are on the disk
  // before success is reported; a failure to flush fails the run.
  bool FlushWritten = true;
  // Called on the extraction thread once everything is written (and
  // flushed), before success is reported; an exception from it fails the run.
  std::function<void()> AfterWriting;
  // Test seam: the flush used when FlushWritten is set, instead of the
  // platform's. Not owned; it must outlive the thread.
  TTreeFlush* Flush = nullptr;
  // The threads that inflate blocks ahead of the writer, and their test seams.
  TInflatePoolOptions Inflation;
};

class TExtractThread {
 public:
  // Starts the work at once. `DestDir` ends with a path separator.
  TExtractThread(std::string DestDir, std::span<const uint8_t> pack, std::string GameGuid,
                 TExtractOptions options = {});
  // Requests a stop and waits for the thread and its workers to end.
  ~TExtractThread();
  TExtractThread(const TExtractThread&) = delete;
  TExtractThread& operator=(const TExtractThread&) = delete;

  bool Finished() const { return Outcome_.load(std::memory_order_acquire) != kRunning; }
  // Only meaningful once Finished is true.
  bool Succeeded() const { return Outcome_.load(std::memory_order_acquire) == kSucceeded; }
  // Why the run failed; only meaningful once Finished is true.
  const TPackFailure& Failure() const { return Failure_; }

  // The thread ends, failed, at its next step.
  void RequestStop() { StopRequested_.store(true, std::memory_order_release); }
  bool StopRequested() const { return StopRequested_.load(std::memory_order_acquire); }
  // Waits at most `timeout_ms` for Finished; answers Finished.
  bool WaitFor(int timeout_ms);

 private:
  // Finished and Succeeded live in one atomic byte, so that no owner can
  // see the run finished before its success is visible.
  static constexpr uint8_t kRunning = 0;
  static constexpr uint8_t kFailed = 1;
  static constexpr uint8_t kSucceeded = 2;

  void Execute();
  bool Extract();
  // Steps until a result other than srContinue, or a stop request.
  TStepResult StepUntilStopped(const std::function<TStepResult()>& step);
  // Records the cause and answers false.
  bool Fail(TPackFailure failure);
  bool Fail(TPackFailureKind kind, std::string detail = {});
  // After the last block: brings what was written to the disk (nothing to
  // do without a flush).
  bool FlushWritten(TTreeFlush* flush);

  std::string DestDir_;
  std::span<const uint8_t> Pack_;
  std::string GameGuid_;
  TExtractOptions Options_;
  // Written by the thread before Outcome_, read by the owner after it.
  TPackFailure Failure_;
  std::atomic<uint8_t> Outcome_{kRunning};
  std::atomic<bool> StopRequested_{false};
  std::mutex DoneLock_;
  std::condition_variable Done_;
  // Last: the thread starts once everything it reads is in place.
  std::thread Thread_;
};

}  // namespace qel
