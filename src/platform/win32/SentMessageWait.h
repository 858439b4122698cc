// Waiting on the plug-in thread (or a game's thread) without blocking the
// other threads and processes that send messages to its windows: a child
// window of another process that closes, or a WM_COPYDATA sender, waits for
// this thread to take its message.
#pragma once

#include <windows.h>

#include <functional>

namespace qel {

// Waits until `done` answers true or `timeout_ms` has passed (negative: no
// limit), handling messages that other threads send to this one meanwhile.
// Posted messages stay queued: the thread's own loop is not re-entered.
// `wake` (may be null) is an event whose setting ends a wait at once;
// without one `done` is asked every few milliseconds. Answers `done`.
bool WaitTakingSentMessages(HANDLE wake, int timeout_ms, const std::function<bool()>& done);

}  // namespace qel
