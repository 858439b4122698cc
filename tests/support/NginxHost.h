// The system's side of running nginx for the tests
// (tests/support/<system>/NginxHost.cc): the program, a folder that both this
// process and nginx (a Unix program) can name, and nginx's process.
#pragma once

#include <string>
#include <vector>

namespace qel::test {

struct TNginxFolder {
  // As this system's programs name it, and as nginx does.
  std::string Local;
  std::string Unix;
};

// A new empty private folder; raises std::runtime_error when there is none.
TNginxFolder MakeNginxFolder();

// The nginx program started with `args`, its standard output and error
// appended to the file `output` (named in the local form).
class TNginxProcess {
 public:
  // Raises std::runtime_error when it cannot be started.
  TNginxProcess(const std::string& program, const std::vector<std::string>& args, const std::string& output);
  // Waits a moment for the process to end, then ends it where this system
  // can (under Wine a Unix program is no Windows process: nothing to end).
  ~TNginxProcess();
  TNginxProcess(const TNginxProcess&) = delete;
  TNginxProcess& operator=(const TNginxProcess&) = delete;

  // True once it has ended, as far as this system can tell.
  bool Ended();

 private:
  long Id_ = -1;
  bool Reaped_ = false;
};

}  // namespace qel::test
