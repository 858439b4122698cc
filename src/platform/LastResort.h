// The last-resort handler: a failure that escapes the timer tick or a window
// message handler is reported as one line on standard error, and work goes on.
// Windows also shows it in a message box and hands it to the debugger.
#pragma once

#include <exception>
#include <functional>
#include <string>
#include <string_view>

namespace qel {

void ReportUnhandled(std::string_view message);
void ReportUnhandled(const std::exception& failure);
// For catch (...) blocks: reports the exception in flight.
void ReportCurrentException();

// Test seam: a message box waits for someone to close it, so tests put
// `show` in its place. It is handed what the box would show: the report's
// text, without the "npqelgame: " in front and the line break at the end.
// An empty function puts the system's box back. Systems that show no box
// never call it.
void ReplaceReportBoxForTesting(std::function<void(const std::string& text)> show);

}  // namespace qel
