// nginx serving a temporary folder on 127.0.0.1 at a free port, from a
// configuration written for it, for as long as the object lives. It runs as
// the test's user (one process, no daemon) and leaves nothing behind.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qel::test {

class TNginxProcess;

class TNginxServer {
 public:
  // Starts nginx. When it cannot run (not installed, refuses to start),
  // Running() is false and Failure() says why.
  TNginxServer();
  ~TNginxServer();
  TNginxServer(const TNginxServer&) = delete;
  TNginxServer& operator=(const TNginxServer&) = delete;

  bool Running() const { return Process_ != nullptr; }
  const std::string& Failure() const { return Failure_; }
  uint16_t Port() const { return Port_; }
  // "http://127.0.0.1:<port>/" followed by `path`.
  std::string Url(std::string_view path) const;
  // Puts a file into the served folder.
  void PutFile(const std::string& name, std::string_view bytes) const;
  // The served folder, ending with a separator, in this system's form.
  std::string Root() const;

 private:
  // Answers false, with Failure_ set, when nginx did not come up.
  bool StartOn(uint16_t port, bool* port_taken);
  // Asks nginx to stop (it reads its pid file) and waits for its end.
  void Stop(std::unique_ptr<TNginxProcess> process);
  // nginx's arguments for its prefix, configuration and log.
  std::vector<std::string> Arguments() const;

  std::string Program_;
  // The working folder as this process names it, and as nginx does.
  std::string Folder_;
  std::string UnixFolder_;
  std::string Failure_;
  uint16_t Port_ = 0;
  std::unique_ptr<TNginxProcess> Process_;
};

// The nginx program: $QEL_NGINX, else the first nginx in PATH, /usr/sbin or
// /usr/local/sbin (under Wine the Unix program's DOS name; PATH is not
// searched); empty when there is none.
std::string FindNginx();

}  // namespace qel::test
