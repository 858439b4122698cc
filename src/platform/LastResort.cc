#include "platform/LastResort.h"

#include <cstdio>
#include <string>

namespace qel {
namespace {

constexpr std::string_view kPrefix = "npqelgame: ";
constexpr std::string_view kUnknownFailure = "unknown failure";

bool IsLineBreak(char c) { return c == '\n' || c == '\r'; }

// Used when even the line cannot be allocated: slower, but needs no memory.
void WriteByCharacter(std::string_view message) {
  std::fwrite(kPrefix.data(), 1, kPrefix.size(), stderr);
  for (char c : message) std::fputc(IsLineBreak(c) ? ' ' : c, stderr);
  std::fputc('\n', stderr);
}

}  // namespace

void ReportUnhandled(std::string_view message) {
  try {
    std::string line;
    line.reserve(kPrefix.size() + message.size() + 1);
    line.append(kPrefix);
    for (char c : message) line.push_back(IsLineBreak(c) ? ' ' : c);
    line.push_back('\n');
    // One write for the whole line, so reports from two threads don't mix.
    std::fwrite(line.data(), 1, line.size(), stderr);
  } catch (...) {
    WriteByCharacter(message);
  }
  std::fflush(stderr);
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
