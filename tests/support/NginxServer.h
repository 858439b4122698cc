// nginx serving a temporary folder on 127.0.0.1 at a free port, from a
// configuration written for it, for as long as the object lives. It runs as
// the test's user (one process, no daemon) and leaves nothing behind.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qel::test {

class TNginxServer {
 public:
  // Starts nginx. When it cannot run (not installed, refuses to start),
  // Running() is false and Failure() says why.
  TNginxServer();
  ~TNginxServer();
  TNginxServer(const TNginxServer&) = delete;
  TNginxServer& operator=(const TNginxServer&) = delete;

  bool Running() const { return Pid_ > 0; }
  const std::string& Failure() const { return Failure_; }
  uint16_t Port() const { return Port_; }
  // "http://127.0.0.1:<port>/" followed by `path`.
  std::string Url(std::string_view path) const;
  // Puts a file into the served folder.
  void PutFile(const std::string& name, std::string_view bytes) const;
  // The served folder, ending with "/".
  std::string Root() const { return Folder_ + "/www/"; }

 private:
  // Answers false, with Failure_ set, when nginx did not come up.
  bool StartOn(const std::string& program, uint16_t port, bool* port_taken);
  void Stop();

  std::string Folder_;
  std::string Failure_;
  uint16_t Port_ = 0;
  int Pid_ = -1;
};

// The nginx program: $QEL_NGINX, else the first nginx in PATH, /usr/sbin or
// /usr/local/sbin; empty when there is none.
std::string FindNginx();

}  // namespace qel::test
