#include "platform/ThreadPriority.h"

#include <sys/resource.h>
#include <unistd.h>

namespace qel {
namespace {

// A nice value of 10 gives a thread about a tenth of the processor share of
// one at 0 when both want it, and costs nothing when the processor is free.
constexpr int kBackgroundNice = 10;

}  // namespace

void RunInBackground() {
  // Linux applies a thread id's nice value to that thread alone.
  (void)setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), kBackgroundNice);
}

}  // namespace qel
