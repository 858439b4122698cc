#include "platform/Timer.h"

#include "platform/win32/TimerWindow.h"

namespace qel {

// A system timer on the thread's timer window; stopped with the registration.
struct TTimer::TTicking final : win32::TTimerTarget {
  TTicking(TTimer* timer, unsigned interval) : Timer(timer), Id(win32::StartThreadTimer(*this, interval)) {}
  ~TTicking() { win32::StopThreadTimer(Id); }
  TTicking(const TTicking&) = delete;
  TTicking& operator=(const TTicking&) = delete;

  // The handler may disable, restart or destroy the timer, which destroys
  // this registration: nothing of it is touched after the tick.
  void OnTimer() override { Timer->Tick(); }

  TTimer* const Timer;
  const uintptr_t Id;
};

TTimer::TTickingPtr TTimer::StartTicking(TTimer* timer, unsigned interval) {
  return TTickingPtr(new TTicking(timer, interval));
}

void TTimer::TTickingEnd::operator()(TTicking* ticking) const { delete ticking; }

}  // namespace qel
