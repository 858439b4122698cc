#include "platform/ModuleHandle.h"

#include <windows.h>

namespace qel {
namespace {

// -1 to -6 stand for the calling process, its thread and their tokens: they
// would never be signalled while we wait (the 32-bit values, as handed over).
constexpr uint32_t kFirstPseudoHandle = 0xFFFFFFFAu;

}  // namespace

void WaitForModuleHandle(uint32_t handle) {
  if (handle == 0 || handle >= kFirstPseudoHandle) return;
  // A handle that names nothing fails the wait at once.
  WaitForSingleObject(reinterpret_cast<HANDLE>(static_cast<uintptr_t>(handle)), INFINITE);
}

}  // namespace qel
