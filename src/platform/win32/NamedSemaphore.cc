#include "platform/NamedSemaphore.h"

#include <windows.h>

#include <mutex>
#include <string>

#include "platform/Error.h"
#include "platform/win32/KernelObjectName.h"
#include "platform/win32/OwnedHandle.h"
#include "platform/win32/SystemError.h"

namespace qel {
namespace {

constexpr int kMaxUnits = 4096;

}  // namespace

// A kernel semaphore whose count is the free units. The kernel does not
// know which handle took a unit, so each handle counts its own.
class TNamedSemaphore::TImpl {
 public:
  TImpl(TOwnedHandle semaphore, std::string name, int units)
      : Semaphore(std::move(semaphore)), Name(std::move(name)), Units(units) {}

  TOwnedHandle Semaphore;
  std::string Name;
  int Units;
  int Held = 0;
  mutable std::mutex Lock;
};

TNamedSemaphore::TNamedSemaphore(std::string_view name, int units) {
  if (units < 1 || units > kMaxUnits)
    throw EQelError("a named semaphore has 1 to " + std::to_string(kMaxUnits) + " units");
  std::string kernel_name = KernelObjectName(name);
  TOwnedHandle semaphore(::CreateSemaphoreA(nullptr, units, units, kernel_name.c_str()));
  if (!semaphore.Valid()) RaiseSystemError("cannot open the semaphore", kernel_name, ::GetLastError());
  Impl_ = std::make_unique<TImpl>(std::move(semaphore), std::move(kernel_name), units);
}

TNamedSemaphore::~TNamedSemaphore() {
  // Windows keeps units taken through a handle closed without giving them back.
  if (Impl_->Held > 0) ::ReleaseSemaphore(Impl_->Semaphore.Get(), Impl_->Held, nullptr);
}

bool TNamedSemaphore::TryAcquire() {
  std::lock_guard<std::mutex> guard(Impl_->Lock);
  const DWORD waited = ::WaitForSingleObject(Impl_->Semaphore.Get(), 0);
  if (waited == WAIT_TIMEOUT) return false;
  if (waited != WAIT_OBJECT_0) RaiseSystemError("cannot take a unit of the semaphore", Impl_->Name, ::GetLastError());
  ++Impl_->Held;
  return true;
}

void TNamedSemaphore::Release(int count) {
  std::lock_guard<std::mutex> guard(Impl_->Lock);
  if (count < 0 || count > Impl_->Held)
    throw EQelError("more units given back to a named semaphore than were taken");
  if (count == 0) return;
  if (!::ReleaseSemaphore(Impl_->Semaphore.Get(), count, nullptr))
    RaiseSystemError("cannot give back units of the semaphore", Impl_->Name, ::GetLastError());
  Impl_->Held -= count;
}

int TNamedSemaphore::Held() const {
  std::lock_guard<std::mutex> guard(Impl_->Lock);
  return Impl_->Held;
}

int TNamedSemaphore::Units() const { return Impl_->Units; }

}  // namespace qel
