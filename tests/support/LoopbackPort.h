// Ports on 127.0.0.1 for the test servers.
#pragma once

#include <cstdint>

namespace qel::test {

// A port that was free a moment ago (the kernel's choice for port 0). Another
// process may take it before the caller binds it; callers retry.
uint16_t PickFreeLoopbackPort();

// True when something accepts connections on 127.0.0.1 at `port`.
bool LoopbackPortAccepts(uint16_t port);

}  // namespace qel::test
