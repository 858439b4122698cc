#include "platform/LastResort.h"

#include <algorithm>
#include <array>
#include <string>

#include "platform/LastResortOutput.h"

namespace qel {
namespace {

constexpr std::string_view kUnknownFailure = "unknown failure";
constexpr std::string_view kCutMark = "...";

char WithoutLineBreak(char c) { return c == '\n' || c == '\r' ? ' ' : c; }

// Used when even the line cannot be allocated: needs no memory, and cuts a
// very long text short.
void WriteFromStack(std::string_view message) noexcept {
  std::array<char, 1024> line;
  const size_t room = line.size() - kReportPrefix.size() - kCutMark.size() - 1;
  const size_t kept = std::min(message.size(), room);
  char* out = std::copy(kReportPrefix.begin(), kReportPrefix.end(), line.data());
  out = std::transform(message.begin(), message.begin() + kept, out, WithoutLineBreak);
  if (kept < message.size()) out = std::copy(kCutMark.begin(), kCutMark.end(), out);
  *out++ = '\n';
  WriteReportLine(std::string_view(line.data(), static_cast<size_t>(out - line.data())));
}

}  // namespace

void ReportUnhandled(std::string_view message) {
  std::string line;
  try {
    line.reserve(kReportPrefix.size() + message.size() + 1);
  } catch (...) {
    WriteFromStack(message);
    return;
  }
  line.append(kReportPrefix);
  for (char c : message) line.push_back(WithoutLineBreak(c));
  line.push_back('\n');
  WriteReportLine(line);
}

void ReportUnhandled(const std::exception& failure) {
  const char* what = failure.what();
  ReportUnhandled(what != nullptr ? std::string_view(what) : kUnknownFailure);
}

void ReportCurrentException() {
  const std::exception_ptr failure = std::current_exception();
  if (!failure) {
    ReportUnhandled(kUnknownFailure);
    return;
  }
  try {
    std::rethrow_exception(failure);
  } catch (const std::exception& known) {
    ReportUnhandled(known);
  } catch (...) {
    ReportUnhandled(kUnknownFailure);
  }
}

}  // namespace qel
