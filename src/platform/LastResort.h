// The last-resort handler: a failure that escapes the timer tick or a window
// message handler is reported as one line on standard error, and work goes on.
#pragma once

#include <exception>
#include <string_view>

namespace qel {

void ReportUnhandled(std::string_view message);
void ReportUnhandled(const std::exception& failure);
// For catch (...) blocks: reports the exception in flight.
void ReportCurrentException();

}  // namespace qel
