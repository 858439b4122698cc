#include "platform/LastResortOutput.h"

#include <cstdio>

#include "platform/LastResort.h"

namespace qel {

void WriteReportLine(std::string_view line) noexcept {
  // One write for the whole line, so reports from two threads don't mix.
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

// Linux shows no box.
void ReplaceReportBoxForTesting(std::function<void(const std::string&)>) {}

}  // namespace qel
