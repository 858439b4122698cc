// A helper program that a test starts as a separate process and talks to by
// lines: the test writes commands to its standard input and reads its
// answers from its standard output. Every wait is bounded. Destroying it
// kills the process if it still runs.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qel::test {

class TChildProcess {
 public:
  // Starts `program` with `args` (after the program name); its standard
  // error is the test's. Raises std::runtime_error when it cannot start.
  TChildProcess(const std::string& program, const std::vector<std::string>& args);
  ~TChildProcess();
  TChildProcess(const TChildProcess&) = delete;
  TChildProcess& operator=(const TChildProcess&) = delete;

  // Writes the line and a line feed.
  void WriteLine(std::string_view line);
  // The next line (without its line feed), or nothing when none came within
  // the time or the output ended.
  std::optional<std::string> ReadLine(int timeout_ms);
  // WriteLine, then ReadLine; the answer, or "<no answer>".
  std::string Ask(std::string_view line, int timeout_ms = 10000);

  // Ends it at once, as a crash would, and reaps it.
  void Kill();
  // Its exit code once it has ended by itself within the time; nothing when
  // it still runs or was ended (by Kill or, on Linux, a signal).
  std::optional<int> WaitForExit(int timeout_ms);

  uint32_t Pid() const;

  // The process and the pipes to it; each system has its own.
  struct TProcess;

 private:
  // Appends what the process wrote to Pending_, waiting until the deadline
  // for something to come; false when nothing came or the output ended.
  bool ReadMore(std::chrono::steady_clock::time_point deadline);

  std::unique_ptr<TProcess> Process_;
  std::string Pending_;
};

}  // namespace qel::test
