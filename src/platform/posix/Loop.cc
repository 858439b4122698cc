#include "platform/Loop.h"

#include <glib.h>

#include <algorithm>

namespace qel {
namespace {

// A source that is always due (an idle handler, a zero-interval timer) would
// otherwise keep a pump from ever returning.
constexpr int kMostDispatchesPerPump = 1000;

// Work finished on another thread does not wake the loop unless it posts to
// it; looking at the condition at least this often still notices it.
constexpr gint64 kLongestWaitUs = 10 * 1000;

// Bounds the next blocking iteration of the default context: the loop wakes
// when this is due, whether or not anything else happened.
class TWakeUpAfter {
 public:
  explicit TWakeUpAfter(gint64 microseconds)
      : Source_(g_timeout_source_new(static_cast<guint>((microseconds + 999) / 1000))) {
    g_source_set_callback(Source_, [](gpointer) -> gboolean { return G_SOURCE_CONTINUE; },
                          nullptr, nullptr);
    g_source_attach(Source_, nullptr);
  }
  ~TWakeUpAfter() {
    g_source_destroy(Source_);
    g_source_unref(Source_);
  }
  TWakeUpAfter(const TWakeUpAfter&) = delete;
  TWakeUpAfter& operator=(const TWakeUpAfter&) = delete;

 private:
  GSource* Source_;
};

}  // namespace

void PumpLoopOnce() {
  for (int i = 0; i < kMostDispatchesPerPump && g_main_context_iteration(nullptr, FALSE); ++i) {
  }
}

bool RunLoopUntil(const std::function<bool()>& done, int timeout_ms) {
  const gint64 deadline = g_get_monotonic_time() + gint64{std::max(timeout_ms, 0)} * 1000;
  while (!done()) {
    const gint64 remaining = deadline - g_get_monotonic_time();
    if (remaining <= 0) {
      // What fell due right at the deadline still gets its turn.
      PumpLoopOnce();
      return done();
    }
    TWakeUpAfter wake(std::min(remaining, kLongestWaitUs));
    g_main_context_iteration(nullptr, TRUE);
  }
  return true;
}

void RunLoopFor(int milliseconds) {
  RunLoopUntil([] { return false; }, milliseconds);
}

}  // namespace qel
