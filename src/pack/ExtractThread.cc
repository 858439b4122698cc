#include "pack/ExtractThread.h"

#include <chrono>
#include <cstdint>
#include <memory>

#include "pack/DirectoryUnpacker.h"
#include "pack/HashChecker.h"
#include "pack/PackFrame.h"
#include "platform/Error.h"
#include "platform/ThreadPriority.h"
#include "platform/TreeFlush.h"

namespace qel {

TExtractThread::TExtractThread(std::string DestDir, std::span<const uint8_t> pack,
                               std::string GameGuid, TExtractOptions options)
    : DestDir_(std::move(DestDir)),
      Pack_(pack),
      GameGuid_(std::move(GameGuid)),
      Options_(std::move(options)),
      Thread_(&TExtractThread::Execute, this) {}

TExtractThread::~TExtractThread() {
  RequestStop();
  if (Thread_.joinable()) Thread_.join();
}

bool TExtractThread::WaitFor(int timeout_ms) {
  std::unique_lock lock(DoneLock_);
  return Done_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [this] { return Finished(); });
}

void TExtractThread::Execute() {
  RunInBackground();
  bool succeeded = false;
  try {
    succeeded = Extract();
  } catch (const std::bad_alloc&) {  // whatever failed on the way, the run still finishes
    Fail(pfNoMemory);
  } catch (const std::exception& failure) {
    Fail(pfUnexpected, failure.what());
  } catch (...) {
    Fail(pfUnexpected);
  }
  {
    const std::lock_guard lock(DoneLock_);
    Outcome_.store(succeeded ? kSucceeded : kFailed, std::memory_order_release);
  }
  Done_.notify_all();
}

TStepResult TExtractThread::StepUntilStopped(const std::function<TStepResult()>& step) {
  TStepResult result = srContinue;
  while (result == srContinue && !StopRequested()) {
    result = step();
    if (Options_.AfterStep) Options_.AfterStep();
  }
  return result;
}

bool TExtractThread::Fail(TPackFailure failure) {
  Failure_ = std::move(failure);
  return false;
}

bool TExtractThread::Fail(TPackFailureKind kind, std::string detail) {
  Failure_.Kind = kind;
  Failure_.Detail = std::move(detail);
  return false;
}

bool TExtractThread::Extract() {
  if (Pack_.size() > UINT32_MAX) return Fail(pfPackTooLarge);
  auto checker = std::make_unique<THashChecker>(Options_.ChunkSize);
  if (checker->Open(Pack_, Options_.SignedDigest) != srContinue) return Fail(checker->Failure());
  const TStepResult checked = StepUntilStopped([&] { return checker->Step(); });
  if (checked == srContinue) return Fail(pfStopped);
  if (checked != srDone) return Fail(checker->Failure());
  checker.reset();
  // Between the check and the first block is between steps too.
  if (StopRequested()) return Fail(pfStopped);

  TPackFailure failure;
  const auto parts = ReadPackParts(Pack_, &failure);
  if (!parts) return Fail(std::move(failure));
  const std::string pack_game = PackGameGuid(parts->Header);
  if (!IsSameGame(pack_game, GameGuid_)) return Fail(pfWrongGame, pack_game);
  if (Options_.BeforeWriting) Options_.BeforeWriting();

  std::unique_ptr<TTreeFlush> own_flush;
  TTreeFlush* flush = nullptr;
  if (Options_.FlushWritten) {
    if (Options_.Flush == nullptr) own_flush = MakeTreeFlush();
    flush = Options_.Flush ? Options_.Flush : own_flush.get();
  }
  TUnpackOptions unpacking;
  unpacking.Inflation = Options_.Inflation;
  unpacking.Flush = flush;
  unpacking.StopRequested = [this] { return StopRequested(); };
  // Its workers are stopped and joined when it goes, before the outcome is told.
  auto unpacker = std::make_unique<TDirectoryUnpacker>(DestDir_, std::move(unpacking));
  if (unpacker->Open(parts->Body) != srContinue) return Fail(unpacker->Failure());
  const TStepResult unpacked = StepUntilStopped([&] { return unpacker->Step(); });
  if (unpacked == srContinue) return Fail(pfStopped);
  if (unpacked != srDone) return Fail(unpacker->Failure());
  unpacker.reset();
  if (!FlushWritten(flush)) return false;
  if (Options_.AfterWriting) Options_.AfterWriting();
  return true;
}

bool TExtractThread::FlushWritten(TTreeFlush* flush) {
  if (flush == nullptr) return true;
  try {
    flush->Finish();
  } catch (const EQelError& failure) {
    Failure_.Kind = pfCannotFlush;
    Failure_.Path = DestDir_;
    Failure_.Detail = failure.what();
    return false;
  }
  return true;
}

}  // namespace qel
