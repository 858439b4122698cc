// The library prints nothing and shows nothing: a failure that the copy-data
// endpoint reports from inside one of its window's messages (out of memory
// while a block is copied) goes nowhere. The block is not taken, and its
// sender learns that.
#include "platform/LastResort.h"

namespace qel {

void ReportUnhandled(std::string_view) {}
void ReportUnhandled(const std::exception&) {}
void ReportCurrentException() {}

}  // namespace qel
