#include "platform/Timer.h"

#include <glib.h>

#include "platform/LastResort.h"

namespace qel {

// A GLib timeout source; removed with the registration.
struct TTimer::TTicking {
  explicit TTicking(TTimer* timer, unsigned interval)
      : SourceId(g_timeout_add(interval, &TTicking::OnTick, timer)) {}
  ~TTicking() { g_source_remove(SourceId); }
  TTicking(const TTicking&) = delete;
  TTicking& operator=(const TTicking&) = delete;

  static gboolean OnTick(gpointer timer) {
    // GLib holds this source until the callback returns, even if the handler
    // removes it, so it can be asked afterwards whether it is still wanted.
    GSource* const source = g_main_current_source();
    static_cast<TTimer*>(timer)->Tick();
    // Disabling, restarting or destroying the timer inside the handler all
    // removed this source; then the timer must not be touched, and GLib must
    // not keep the source.
    return g_source_is_destroyed(source) ? G_SOURCE_REMOVE : G_SOURCE_CONTINUE;
  }

  guint SourceId;
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
