#include "NginxServer.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "LoopbackPort.h"

extern char** environ;

namespace qel::test {
namespace {

constexpr int kStartAttempts = 10;
constexpr auto kStartPatience = std::chrono::seconds(10);
constexpr auto kStopPatience = std::chrono::seconds(5);
constexpr auto kPollInterval = std::chrono::milliseconds(5);

std::string ReadWhole(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

void WriteWhole(const std::string& path, std::string_view bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!file.flush()) throw std::runtime_error("cannot write " + path);
}

bool IsProgram(const std::string& path) { return !path.empty() && access(path.c_str(), X_OK) == 0; }

std::string Configuration(const std::string& folder, uint16_t port) {
  std::ostringstream conf;
  // One process as the calling user: no daemon, no workers that change user.
  conf << "daemon off;\n"
       << "master_process off;\n"
       << "pid " << folder << "/nginx.pid;\n"
       << "error_log " << folder << "/error.log;\n"
       << "events { worker_connections 64; }\n"
       << "http {\n"
       << "  access_log off;\n"
       << "  default_type application/octet-stream;\n"
       << "  sendfile on;\n"
       << "  client_body_temp_path " << folder << "/tmp/body;\n"
       << "  proxy_temp_path " << folder << "/tmp/proxy;\n"
       << "  fastcgi_temp_path " << folder << "/tmp/fastcgi;\n"
       << "  uwsgi_temp_path " << folder << "/tmp/uwsgi;\n"
       << "  scgi_temp_path " << folder << "/tmp/scgi;\n"
       << "  server {\n"
       << "    listen 127.0.0.1:" << port << ";\n"
       << "    root " << folder << "/www;\n"
       << "  }\n"
       << "}\n";
  return conf.str();
}

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

TNginxServer::TNginxServer() {
  const std::string program = FindNginx();
  if (program.empty()) {
    Failure_ = "nginx is not installed (or set QEL_NGINX to its program)";
    return;
  }
  const char* temp = std::getenv("TMPDIR");
  std::string pattern = std::string(temp != nullptr && *temp != '\0' ? temp : "/tmp") + "/qel-nginx-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) {
    Failure_ = "no temporary folder for nginx";
    return;
  }
  Folder_ = pattern;
  std::filesystem::create_directories(Folder_ + "/www");
  std::filesystem::create_directories(Folder_ + "/tmp");
  for (int attempt = 0; attempt < kStartAttempts; ++attempt) {
    bool port_taken = false;
    if (StartOn(program, PickFreeLoopbackPort(), &port_taken)) return;
    if (!port_taken) break;
  }
  std::error_code ignored;
  std::filesystem::remove_all(Folder_, ignored);
}

TNginxServer::~TNginxServer() {
  Stop();
  if (!Folder_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(Folder_, ignored);
  }
}

std::string TNginxServer::Url(std::string_view path) const {
  return "http://127.0.0.1:" + std::to_string(Port_) + "/" + std::string(path);
}

void TNginxServer::PutFile(const std::string& name, std::string_view bytes) const {
  WriteWhole(Root() + name, bytes);
}

bool TNginxServer::StartOn(const std::string& program, uint16_t port, bool* port_taken) {
  const std::string conf = Folder_ + "/nginx.conf";
  const std::string log = Folder_ + "/error.log";
  const std::string output = Folder_ + "/nginx.out";
  WriteWhole(conf, Configuration(Folder_, port));
  WriteWhole(log, "");

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  const std::string prefix = Folder_ + "/";
  std::vector<std::string> args = {program, "-p", prefix, "-c", conf, "-e", log};
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) {
    Failure_ = "cannot start " + program;
    return false;
  }

  const auto deadline = std::chrono::steady_clock::now() + kStartPatience;
  while (std::chrono::steady_clock::now() < deadline) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) {
      const std::string said = ReadWhole(log) + ReadWhole(output);
      *port_taken = said.find("Address already in use") != std::string::npos;
      Failure_ = "nginx did not start: " + said;
      return false;
    }
    if (LoopbackPortAccepts(port)) {
      Pid_ = pid;
      Port_ = port;
      return true;
    }
    std::this_thread::sleep_for(kPollInterval);
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  Failure_ = "nginx did not accept connections in time: " + ReadWhole(log);
  return false;
}

void TNginxServer::Stop() {
  if (Pid_ <= 0) return;
  kill(Pid_, SIGTERM);
  const auto deadline = std::chrono::steady_clock::now() + kStopPatience;
  while (waitpid(Pid_, nullptr, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() >= deadline) {
      kill(Pid_, SIGKILL);
      waitpid(Pid_, nullptr, 0);
      break;
    }
    std::this_thread::sleep_for(kPollInterval);
  }
  Pid_ = -1;
}

}  // namespace qel::test
