#include "platform/Timer.h"

#include "platform/LastResort.h"
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

TTimer::TTimer() = default;

TTimer::~TTimer() { SetEnabled(false); }

void TTimer::SetInterval(unsigned milliseconds) {
  if (milliseconds == Interval_) return;
  Interval_ = milliseconds;
  if (Enabled()) Restart();
}

void TTimer::SetEnabled(bool enabled) {
  if (enabled == Enabled()) return;
  if (enabled) {
    Restart();
  } else {
    Ticking_.reset();
  }
}

void TTimer::Restart() {
  Ticking_.reset();
  Ticking_ = std::make_unique<TTicking>(this, Interval_);
}

void TTimer::Tick() {
  try {
    // A copy, so that the handler may replace itself or destroy the timer.
    const std::function<void()> handler = Handler_;
    if (handler) handler();
  } catch (...) {
    ReportCurrentException();
  }
}

}  // namespace qel
