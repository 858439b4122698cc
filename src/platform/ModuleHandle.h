// The waitable handle that a game's update module hands out for its worker:
// on Linux a file descriptor that becomes readable or hung up when the
// worker ends.
#pragma once

#include <cstdint>

namespace qel {

// Waits without limit until the handle is signalled. A handle that names
// nothing waitable (closed, or never opened) ends the wait at once.
void WaitForModuleHandle(uint32_t handle);

}  // namespace qel
