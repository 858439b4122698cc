#include "launch/GameLocks.h"

#include <exception>

#include "launch/ObjectNames.h"
#include "platform/AnsiText.h"

namespace qel {

TGameLocks::TGameLocks(std::string_view game_id) : Key_(AnsiLowerCase(game_id)) {}

TGameLocks::~TGameLocks() { Close(); }

bool TGameLocks::OpenMutex() {
  if (Mutex_) return true;
  try {
    Mutex_ = std::make_unique<TNamedMutex>(DownloadMutexName(Key_));
  } catch (const std::exception&) {
    return false;
  }
  return true;
}

bool TGameLocks::OpenSemaphore() {
  if (Semaphore_) return true;
  try {
    Semaphore_ = std::make_unique<TNamedSemaphore>(RunSemaphoreName(Key_), kRunSemaphoreUnits);
  } catch (const std::exception&) {
    return false;
  }
  return true;
}

bool TGameLocks::TakeMutex() {
  if (!Mutex_ || MutexHeld_) return MutexHeld_;
  MutexHeld_ = Mutex_->Wait(kNamedMutexWaitMs);
  return MutexHeld_;
}

void TGameLocks::ReleaseMutex() {
  if (!MutexHeld_) return;
  MutexHeld_ = false;
  Mutex_->Release();
}

bool TGameLocks::TakeUnits(int needed) {
  if (!Semaphore_) return false;
  const int before = RunUnits_;
  while (RunUnits_ < needed && Semaphore_->TryAcquire()) ++RunUnits_;
  if (RunUnits_ >= needed) return true;
  KeepUnits(before);
  return false;
}

void TGameLocks::KeepUnits(int count) {
  if (!Semaphore_ || RunUnits_ <= count) return;
  Semaphore_->Release(RunUnits_ - count);
  RunUnits_ = count;
}

void TGameLocks::Close() {
  try {
    ReleaseMutex();
    KeepUnits(0);
  } catch (const std::exception&) {
    // Closing the objects below gives back whatever they still hold.
  }
  RunUnits_ = 0;
  Mutex_.reset();
  Semaphore_.reset();
}

}  // namespace qel
