#include "platform/Timer.h"

#include <glib.h>

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

TTimer::TTickingPtr TTimer::StartTicking(TTimer* timer, unsigned interval) {
  return TTickingPtr(new TTicking(timer, interval));
}

void TTimer::TTickingEnd::operator()(TTicking* ticking) const { delete ticking; }

}  // namespace qel
