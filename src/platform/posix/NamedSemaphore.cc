#include "platform/NamedSemaphore.h"

#include <mutex>
#include <string>
#include <vector>

#include "platform/Error.h"
#include "platform/posix/ByteLocks.h"

namespace qel {
namespace {

constexpr int kMaxUnits = 4096;

}  // namespace

// Unit i is the lock on byte i of the semaphore's file. Each handle opens the
// file itself, so the units of two handles exclude each other even in one
// process.
class TNamedSemaphore::TImpl {
 public:
  TImpl(TFileDescriptor file, int units) : File(std::move(file)), Mine(units, false) {}

  TFileDescriptor File;
  std::vector<bool> Mine;
  int Held = 0;
  mutable std::mutex Lock;
};

TNamedSemaphore::TNamedSemaphore(std::string_view name, int units) {
  if (units < 1 || units > kMaxUnits)
    throw EQelError("a named semaphore has 1 to " + std::to_string(kMaxUnits) + " units");
  Impl_ = std::make_unique<TImpl>(OpenNamedObjectFile(name, ".semaphore"), units);
}

TNamedSemaphore::~TNamedSemaphore() = default;

bool TNamedSemaphore::TryAcquire() {
  std::lock_guard<std::mutex> guard(Impl_->Lock);
  for (int unit = 0; unit < Units(); ++unit) {
    if (Impl_->Mine[unit] || !TryLockByte(Impl_->File, unit)) continue;
    Impl_->Mine[unit] = true;
    ++Impl_->Held;
    return true;
  }
  return false;
}

void TNamedSemaphore::Release(int count) {
  std::lock_guard<std::mutex> guard(Impl_->Lock);
  if (count < 0 || count > Impl_->Held)
    throw EQelError("more units given back to a named semaphore than were taken");
  for (int unit = Units() - 1; unit >= 0 && count > 0; --unit) {
    if (!Impl_->Mine[unit]) continue;
    UnlockByte(Impl_->File, unit);
    Impl_->Mine[unit] = false;
    --Impl_->Held;
    --count;
  }
}

int TNamedSemaphore::Held() const {
  std::lock_guard<std::mutex> guard(Impl_->Lock);
  return Impl_->Held;
}

int TNamedSemaphore::Units() const { return static_cast<int>(Impl_->Mine.size()); }

}  // namespace qel
