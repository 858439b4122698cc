#include "ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>

extern char** environ;

namespace qel::test {
namespace {

using Clock = std::chrono::steady_clock;

int MillisecondsLeft(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

void MakePipe(int fds[2]) {
  if (::pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
}

}  // namespace

TChildProcess::TChildProcess(const std::string& program, const std::vector<std::string>& args) {
  int to_child[2];
  int from_child[2];
  MakePipe(to_child);
  MakePipe(from_child);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, to_child[0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, from_child[1], STDOUT_FILENO);

  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);

  const int failure = ::posix_spawn(&Pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(to_child[0]);
  ::close(from_child[1]);
  Input_ = to_child[1];
  Output_ = from_child[0];
  if (failure != 0) {
    ::close(Input_);
    ::close(Output_);
    Reaped_ = true;
    throw std::runtime_error("cannot start " + program + ": " + std::strerror(failure));
  }
  // A child that ends early must not kill the test with SIGPIPE.
  ::signal(SIGPIPE, SIG_IGN);
}

TChildProcess::~TChildProcess() {
  Kill();
  ::close(Input_);
  ::close(Output_);
}

void TChildProcess::WriteLine(std::string_view line) {
  std::string text(line);
  text += '\n';
  std::string_view left = text;
  while (!left.empty()) {
    const ssize_t put = ::write(Input_, left.data(), left.size());
    if (put < 0 && errno == EINTR) continue;
    if (put < 0) return;  // it has ended; its answers will be missing
    left.remove_prefix(static_cast<std::size_t>(put));
  }
}

std::optional<std::string> TChildProcess::ReadLine(int timeout_ms) {
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    const std::size_t end = Pending_.find('\n');
    if (end != std::string::npos) {
      std::string line = Pending_.substr(0, end);
      Pending_.erase(0, end + 1);
      return line;
    }
    pollfd ready{Output_, POLLIN, 0};
    const int polled = ::poll(&ready, 1, MillisecondsLeft(deadline));
    if (polled < 0 && errno == EINTR) continue;
    if (polled <= 0) return std::nullopt;
    char buffer[4096];
    const ssize_t got = ::read(Output_, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return std::nullopt;
    Pending_.append(buffer, static_cast<std::size_t>(got));
  }
}

std::string TChildProcess::Ask(std::string_view line, int timeout_ms) {
  WriteLine(line);
  return ReadLine(timeout_ms).value_or("<no answer>");
}

void TChildProcess::Kill() {
  if (Reaped_) return;
  ::kill(Pid_, SIGKILL);
  int status = 0;
  while (::waitpid(Pid_, &status, 0) < 0 && errno == EINTR) {
  }
  Reaped_ = true;
}

std::optional<int> TChildProcess::WaitForExit(int timeout_ms) {
  if (Reaped_) return std::nullopt;
  // A process descriptor becomes readable when the process ends.
  const int handle = static_cast<int>(::syscall(SYS_pidfd_open, Pid_, 0));
  if (handle < 0) return std::nullopt;
  pollfd ended{handle, POLLIN, 0};
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  int polled;
  do {
    polled = ::poll(&ended, 1, MillisecondsLeft(deadline));
  } while (polled < 0 && errno == EINTR);
  ::close(handle);
  if (polled <= 0) return std::nullopt;
  int status = 0;
  if (::waitpid(Pid_, &status, 0) != Pid_) return std::nullopt;
  Reaped_ = true;
  if (!WIFEXITED(status)) return std::nullopt;
  return WEXITSTATUS(status);
}

}  // namespace qel::test
