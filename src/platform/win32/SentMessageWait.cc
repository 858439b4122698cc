#include "platform/win32/SentMessageWait.h"

#include <algorithm>

namespace qel {
namespace {

// How often `done` is asked when no event tells of a change.
constexpr DWORD kPollIntervalMs = 5;

void TakeSentMessages() {
  // Sent messages are handled inside PeekMessage; nothing posted is removed.
  MSG message;
  PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
}

}  // namespace

bool WaitTakingSentMessages(HANDLE wake, int timeout_ms, const std::function<bool()>& done) {
  const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(std::max(timeout_ms, 0));
  for (;;) {
    TakeSentMessages();
    if (done()) return true;
    DWORD wait = INFINITE;
    if (timeout_ms >= 0) {
      const ULONGLONG now = GetTickCount64();
      if (now >= deadline) return false;
      wait = static_cast<DWORD>(deadline - now);
    }
    if (wake == nullptr) wait = std::min(wait, kPollIntervalMs);
    const DWORD count = wake != nullptr ? 1 : 0;
    const DWORD woken = MsgWaitForMultipleObjectsEx(count, wake != nullptr ? &wake : nullptr, wait,
                                                    QS_SENDMESSAGE, 0);
    if (woken == WAIT_FAILED) return done();
  }
}

}  // namespace qel
