#include "platform/Timer.h"

#include "platform/LastResort.h"

namespace qel {

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
  Ticking_ = StartTicking(this, Interval_);
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
