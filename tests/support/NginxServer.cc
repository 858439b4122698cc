#include "NginxServer.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "LoopbackPort.h"
#include "NginxHost.h"

namespace qel::test {
namespace {

namespace fs = std::filesystem;

constexpr int kStartAttempts = 10;
constexpr auto kStartPatience = std::chrono::seconds(10);
constexpr auto kStopPatience = std::chrono::seconds(5);
constexpr auto kPollInterval = std::chrono::milliseconds(5);

std::string ReadWhole(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

void WriteWhole(const fs::path& path, std::string_view bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!file.flush()) throw std::runtime_error("cannot write " + path.string());
}

// Paths in it are nginx's own (Unix) names of the folder.
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

template <typename TDone>
bool AwaitFor(std::chrono::steady_clock::duration patience, TDone done) {
  const auto deadline = std::chrono::steady_clock::now() + patience;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(kPollInterval);
  }
  return true;
}

}  // namespace

TNginxServer::TNginxServer() {
  Program_ = FindNginx();
  if (Program_.empty()) {
    Failure_ = "nginx is not installed (or set QEL_NGINX to its program)";
    return;
  }
  try {
    const TNginxFolder folder = MakeNginxFolder();
    Folder_ = folder.Local;
    UnixFolder_ = folder.Unix;
    fs::create_directories(fs::path(Folder_) / "www");
    fs::create_directories(fs::path(Folder_) / "tmp");
    for (int attempt = 0; attempt < kStartAttempts; ++attempt) {
      bool port_taken = false;
      if (StartOn(PickFreeLoopbackPort(), &port_taken)) return;
      if (!port_taken) break;
    }
  } catch (const std::exception& failure) {
    Failure_ = failure.what();
  }
  std::error_code ignored;
  if (!Folder_.empty()) fs::remove_all(Folder_, ignored);
  Folder_.clear();
}

TNginxServer::~TNginxServer() {
  if (Process_ != nullptr) Stop(std::move(Process_));
  if (!Folder_.empty()) {
    std::error_code ignored;
    fs::remove_all(Folder_, ignored);
  }
}

std::string TNginxServer::Url(std::string_view path) const {
  return "http://127.0.0.1:" + std::to_string(Port_) + "/" + std::string(path);
}

std::string TNginxServer::Root() const { return (fs::path(Folder_) / "www" / "").string(); }

void TNginxServer::PutFile(const std::string& name, std::string_view bytes) const {
  WriteWhole(Root() + name, bytes);
}

std::vector<std::string> TNginxServer::Arguments() const {
  return {"-p", UnixFolder_ + "/", "-c", UnixFolder_ + "/nginx.conf", "-e", UnixFolder_ + "/error.log"};
}

bool TNginxServer::StartOn(uint16_t port, bool* port_taken) {
  const fs::path log = fs::path(Folder_) / "error.log";
  const fs::path output = fs::path(Folder_) / "nginx.out";
  WriteWhole(fs::path(Folder_) / "nginx.conf", Configuration(UnixFolder_, port));
  WriteWhole(log, "");
  auto process = std::make_unique<TNginxProcess>(Program_, Arguments(), output.string());

  // Where the system cannot tell that nginx ended, its log tells why it did.
  std::string said;
  const auto ended = [&] {
    said = ReadWhole(log) + ReadWhole(output);
    return process->Ended() || said.find("[emerg]") != std::string::npos;
  };
  bool accepts = false;
  AwaitFor(kStartPatience, [&] { return ended() || (accepts = LoopbackPortAccepts(port)); });
  if (accepts) {
    Process_ = std::move(process);
    Port_ = port;
    return true;
  }
  *port_taken = said.find("Address already in use") != std::string::npos;
  Failure_ = ended() ? "nginx did not start: " + said : "nginx did not accept connections in time: " + said;
  Stop(std::move(process));
  return false;
}

void TNginxServer::Stop(std::unique_ptr<TNginxProcess> process) {
  const fs::path pid_file = fs::path(Folder_) / "nginx.pid";
  if (!process->Ended() && fs::exists(pid_file)) {
    std::vector<std::string> args = Arguments();
    args.insert(args.end(), {"-s", "stop"});
    const TNginxProcess stopper(Program_, args, (fs::path(Folder_) / "nginx.out").string());
    // nginx removes its pid file as it ends.
    AwaitFor(kStopPatience, [&] { return process->Ended() || !fs::exists(pid_file); });
  }
  process.reset();
}

}  // namespace qel::test
