#include "platform/Loop.h"

#include <windows.h>

#include <algorithm>
#include <chrono>

namespace qel {
namespace {

// Something that is always due (a message that posts the next) would
// otherwise keep a pump from ever returning.
constexpr int kMostDispatchesPerPump = 1000;

// Work finished on another thread does not wake the loop unless it posts to
// it; looking at the condition at least this often still notices it.
constexpr std::chrono::milliseconds kLongestWait{10};

bool DispatchOneMessage() {
  MSG message;
  if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) return false;
  TranslateMessage(&message);
  DispatchMessageA(&message);
  return true;
}

}  // namespace

void PumpLoopOnce() {
  for (int i = 0; i < kMostDispatchesPerPump && DispatchOneMessage(); ++i) {
  }
}

bool RunLoopUntil(const std::function<bool()>& done, int timeout_ms) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(std::max(timeout_ms, 0));
  while (!done()) {
    const Clock::duration remaining = deadline - Clock::now();
    if (remaining <= Clock::duration::zero()) {
      // What fell due right at the deadline still gets its turn.
      PumpLoopOnce();
      return done();
    }
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(std::min<Clock::duration>(remaining, kLongestWait));
    MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(wait.count()), QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    PumpLoopOnce();
  }
  return true;
}

void RunLoopFor(int milliseconds) {
  RunLoopUntil([] { return false; }, milliseconds);
}

}  // namespace qel
