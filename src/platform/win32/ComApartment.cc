#include "platform/win32/ComApartment.h"

#include <objbase.h>
#include <windows.h>

#include "platform/Error.h"

namespace qel {

TComApartment::TComApartment() {
  const HRESULT result = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  // S_FALSE: already initialised on this thread, and counted once more, so
  // it is balanced like S_OK. RPC_E_CHANGED_MODE: the thread is in the
  // multithreaded apartment, where the imaging component works as well, and
  // nothing was counted.
  if (result == RPC_E_CHANGED_MODE) return;
  if (FAILED(result)) throw EQelError("cannot use COM on this thread");
  Initialized_ = true;
}

TComApartment::~TComApartment() {
  if (Initialized_) CoUninitialize();
}

}  // namespace qel
