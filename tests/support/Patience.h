// How long a test waits for what another thread or process should do soon:
// long enough for Wine on a busy machine.
#pragma once

namespace qel::test {

inline constexpr int kPatienceMs = 5000;

}  // namespace qel::test
