#include "platform/ModuleHandle.h"

#include <fcntl.h>
#include <poll.h>

#include <cerrno>

namespace qel {

void WaitForModuleHandle(uint32_t handle) {
  if (handle == 0) return;
  // Numbers beyond int turn negative here, which fcntl refuses; poll() would
  // skip them and wait for ever.
  const int fd = static_cast<int>(handle);
  if (fcntl(fd, F_GETFD) == -1) return;

  pollfd watched{};
  watched.fd = fd;
  watched.events = POLLIN;
  for (;;) {
    // A hang-up or error is reported whether asked for or not; either ends the wait.
    if (poll(&watched, 1, -1) >= 0 || errno != EINTR) return;
  }
}

}  // namespace qel
