#include "MessagePump.h"

#include <windows.h>

namespace qel::test {
namespace {

void DispatchPending() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

}  // namespace

bool PumpMessagesUntil(const std::function<bool()>& done, int timeout_ms) {
  const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(timeout_ms);
  for (;;) {
    DispatchPending();
    if (done()) return true;
    const ULONGLONG now = GetTickCount64();
    if (now >= deadline) return done();
    // Wakes for the next message, or now and then to look at `done` again.
    const DWORD wait = static_cast<DWORD>(deadline - now < 20 ? deadline - now : 20);
    MsgWaitForMultipleObjects(0, nullptr, FALSE, wait, QS_ALLINPUT);
  }
}

void PumpMessagesFor(int milliseconds) {
  PumpMessagesUntil([] { return false; }, milliseconds);
}

}  // namespace qel::test
