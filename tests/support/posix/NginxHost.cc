// nginx as a child process of the test.
#include "NginxHost.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "NginxServer.h"

extern char** environ;

namespace qel::test {
namespace {

constexpr auto kEndPatience = std::chrono::seconds(5);
constexpr auto kPollInterval = std::chrono::milliseconds(5);

bool IsProgram(const std::string& path) { return !path.empty() && access(path.c_str(), X_OK) == 0; }

}  // namespace

std::string FindNginx() {
  if (const char* chosen = std::getenv("QEL_NGINX"); chosen != nullptr && *chosen != '\0') {
    return IsProgram(chosen) ? chosen : "";
  }
  std::vector<std::string> folders;
  if (const char* path = std::getenv("PATH")) {
    std::istringstream entries(path);
    for (std::string entry; std::getline(entries, entry, ':');) {
      if (!entry.empty()) folders.push_back(entry);
    }
  }
  folders.push_back("/usr/sbin");
  folders.push_back("/usr/local/sbin");
  for (const std::string& folder : folders) {
    if (IsProgram(folder + "/nginx")) return folder + "/nginx";
  }
  return "";
}

TNginxFolder MakeNginxFolder() {
  const char* temp = std::getenv("TMPDIR");
  std::string pattern = std::string(temp != nullptr && *temp != '\0' ? temp : "/tmp") + "/qel-nginx-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("no temporary folder for nginx");
  return {pattern, pattern};
}

TNginxProcess::TNginxProcess(const std::string& program, const std::vector<std::string>& args,
                             const std::string& output) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  std::vector<std::string> words = {program};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) throw std::runtime_error("cannot start " + program);
  Id_ = pid;
}

TNginxProcess::~TNginxProcess() {
  const auto deadline = std::chrono::steady_clock::now() + kEndPatience;
  while (!Ended() && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(kPollInterval);
  if (Reaped_) return;
  kill(static_cast<pid_t>(Id_), SIGKILL);
  waitpid(static_cast<pid_t>(Id_), nullptr, 0);
}

bool TNginxProcess::Ended() {
  if (!Reaped_) Reaped_ = waitpid(static_cast<pid_t>(Id_), nullptr, WNOHANG) == Id_;
  return Reaped_;
}

}  // namespace qel::test
