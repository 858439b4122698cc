// The plug-in thread's event loop. The browser runs it; tests and tools that
// stand in for a browser run it through these.
#pragma once

#include <functional>

namespace qel {

// Dispatches pending events of the loop once, without waiting.
void PumpLoopOnce();
// Runs the loop until `done` answers true or the time is up; answers `done`.
bool RunLoopUntil(const std::function<bool()>& done, int timeout_ms);
// Runs the loop for the given time.
void RunLoopFor(int milliseconds);

}  // namespace qel
