#include "platform/ThreadPriority.h"

#include <windows.h>

namespace qel {

void RunInBackground() { SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL); }

}  // namespace qel
