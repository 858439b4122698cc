#include "platform/Timer.h"

#include <glib.h>

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
    return;
  }
  g_source_remove(SourceId_);
  SourceId_ = 0;
}

void TTimer::Restart() {
  if (SourceId_ != 0) g_source_remove(SourceId_);
  SourceId_ = g_timeout_add(Interval_, &TTimer::OnTick, this);
}

int TTimer::OnTick(void* self) {
  // GLib holds this source until the callback returns, even if the handler
  // removes it, so it can be asked afterwards whether it is still wanted.
  GSource* const source = g_main_current_source();
  try {
    // A copy, so that the handler may replace itself or destroy the timer.
    const std::function<void()> handler = static_cast<TTimer*>(self)->Handler_;
    if (handler) handler();
  } catch (...) {
    ReportCurrentException();
  }
  // Disabling, restarting or destroying the timer inside the handler all
  // removed this source; then `self` must not be touched, and GLib must not
  // keep the source.
  return g_source_is_destroyed(source) ? G_SOURCE_REMOVE : G_SOURCE_CONTINUE;
}

}  // namespace qel
