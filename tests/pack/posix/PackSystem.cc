// The pack tests' system facts on Linux: the program runs under sh, which
// quotes in single quotes and answers a wait status.
#include <sys/stat.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "PackSystem.h"

namespace qel::test {

std::string QuotedArgument(const std::string& argument) {
  std::string quoted = "'";
  for (char c : argument) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

int RunProgram(const std::string& program, const std::string& arguments, const std::string& log) {
  const std::string command =
      QuotedArgument(program) + " " + arguments + " >" + QuotedArgument(log) + " 2>&1";
  const int status = std::system(command.c_str());
  return status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool MakeNamedPipe(const std::string& path) {
  if (mkfifo(path.c_str(), 0600) != 0)
    throw std::runtime_error("mkfifo " + path + ": " + std::strerror(errno));
  return true;
}

std::string NoSuchFolderText() { return std::strerror(ENOENT); }
std::string NameTooLongText() { return std::strerror(ENAMETOOLONG); }

}  // namespace qel::test
