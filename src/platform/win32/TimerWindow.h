// The message-only window that carries the system timers of the thread that
// calls. Timers are told apart by id, and ids are never used twice, so a
// WM_TIMER that was already queued for a stopped timer reaches nobody.
#pragma once

#include <cstdint>

namespace qel::win32 {

class TTimerTarget {
 public:
  // May stop or start any timer, its own included, and destroy the target.
  virtual void OnTimer() = 0;

 protected:
  ~TTimerTarget() = default;
};

// Starts a periodic system timer for `target` on the calling thread's window
// (made when the thread's first timer starts); answers its id. An interval
// of zero is due at once, then as often as the system allows. Raises
// EQelError when the system refuses.
uintptr_t StartThreadTimer(TTimerTarget& target, unsigned interval_ms);
// Stops the timer with that id on the calling thread; the window goes with
// the thread's last timer.
void StopThreadTimer(uintptr_t id);

}  // namespace qel::win32
