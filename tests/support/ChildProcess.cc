#include "ChildProcess.h"

namespace qel::test {

std::optional<std::string> TChildProcess::ReadLine(int timeout_ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    const std::size_t end = Pending_.find('\n');
    if (end != std::string::npos) {
      // Windows programs write text lines ending with "\r\n".
      const std::size_t length = end > 0 && Pending_[end - 1] == '\r' ? end - 1 : end;
      std::string line = Pending_.substr(0, length);
      Pending_.erase(0, end + 1);
      return line;
    }
    if (!ReadMore(deadline)) return std::nullopt;
  }
}

std::string TChildProcess::Ask(std::string_view line, int timeout_ms) {
  WriteLine(line);
  return ReadLine(timeout_ms).value_or("<no answer>");
}

}  // namespace qel::test
