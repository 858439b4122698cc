// Child processes on Linux: posix_spawn with pipes for standard input and
// output, polled for answers.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "ChildProcess.h"

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

struct TChildProcess::TProcess {
  pid_t Pid = -1;
  int Input = -1;   // its standard input
  int Output = -1;  // its standard output
  bool Reaped = false;
  ~TProcess() {
    ::close(Input);
    ::close(Output);
  }
};

TChildProcess::TChildProcess(const std::string& program, const std::vector<std::string>& args)
    : Process_(std::make_unique<TProcess>()) {
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

  const int failure = ::posix_spawn(&Process_->Pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(to_child[0]);
  ::close(from_child[1]);
  Process_->Input = to_child[1];
  Process_->Output = from_child[0];
  if (failure != 0) {
    Process_->Reaped = true;
    throw std::runtime_error("cannot start " + program + ": " + std::strerror(failure));
  }
  // A child that ends early must not kill the test with SIGPIPE.
  ::signal(SIGPIPE, SIG_IGN);
}

TChildProcess::~TChildProcess() { Kill(); }

uint32_t TChildProcess::Pid() const { return static_cast<uint32_t>(Process_->Pid); }

void TChildProcess::WriteLine(std::string_view line) {
  std::string text(line);
  text += '\n';
  std::string_view left = text;
  while (!left.empty()) {
    const ssize_t put = ::write(Process_->Input, left.data(), left.size());
    if (put < 0 && errno == EINTR) continue;
    if (put < 0) return;  // it has ended; its answers will be missing
    left.remove_prefix(static_cast<std::size_t>(put));
  }
}

bool TChildProcess::ReadMore(Clock::time_point deadline) {
  for (;;) {
    pollfd ready{Process_->Output, POLLIN, 0};
    const int polled = ::poll(&ready, 1, MillisecondsLeft(deadline));
    if (polled < 0 && errno == EINTR) continue;
    if (polled <= 0) return false;
    char buffer[4096];
    const ssize_t got = ::read(Process_->Output, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    Pending_.append(buffer, static_cast<std::size_t>(got));
    return true;
  }
}

void TChildProcess::Kill() {
  if (Process_->Reaped) return;
  ::kill(Process_->Pid, SIGKILL);
  int status = 0;
  while (::waitpid(Process_->Pid, &status, 0) < 0 && errno == EINTR) {
  }
  Process_->Reaped = true;
}

std::optional<int> TChildProcess::WaitForExit(int timeout_ms) {
  if (Process_->Reaped) return std::nullopt;
  // A process descriptor becomes readable when the process ends.
  const int handle = static_cast<int>(::syscall(SYS_pidfd_open, Process_->Pid, 0));
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
  if (::waitpid(Process_->Pid, &status, 0) != Process_->Pid) return std::nullopt;
  Process_->Reaped = true;
  if (!WIFEXITED(status)) return std::nullopt;
  return WEXITSTATUS(status);
}

}  // namespace qel::test
