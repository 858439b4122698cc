#include "pack/ExtractThread.h"

#include <chrono>
#include <cstdint>
#include <memory>

#include "pack/DirectoryUnpacker.h"
#include "pack/HashChecker.h"
#include "pack/PackFrame.h"

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
  bool succeeded = false;
  try {
    succeeded = Extract();
  } catch (...) {  // whatever failed on the way, the run still finishes
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

bool TExtractThread::Extract() {
  if (Pack_.size() > UINT32_MAX) return false;
  auto checker = std::make_unique<THashChecker>(Options_.ChunkSize);
  if (checker->Open(Pack_) != srContinue) return false;
  if (StepUntilStopped([&] { return checker->Step(); }) != srDone) return false;
  checker.reset();
  // Between the check and the first block is between steps too.
  if (StopRequested()) return false;

  const auto parts = ReadPackParts(Pack_);
  if (!parts || !IsSameGame(PackGameGuid(parts->Header), GameGuid_)) return false;

  auto unpacker = std::make_unique<TDirectoryUnpacker>(DestDir_);
  if (unpacker->Open(parts->Body) != srContinue) return false;
  return StepUntilStopped([&] { return unpacker->Step(); }) == srDone;
}

}  // namespace qel
