// The plug-in thread's loop, as the tests run it: this thread's window
// messages are dispatched until a condition holds or the time is up.
#pragma once

#include <functional>

namespace qel::test {

bool PumpMessagesUntil(const std::function<bool()>& done, int timeout_ms);
void PumpMessagesFor(int milliseconds);

}  // namespace qel::test
