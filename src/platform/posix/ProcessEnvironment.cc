#include "platform/ProcessEnvironment.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/Error.h"

namespace qel {

std::optional<std::string> ReadEnvironmentVariable(const std::string& name) {
  const char* value = std::getenv(name.c_str());
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

void WriteEnvironmentVariable(const std::string& name, const std::string& value) {
  if (setenv(name.c_str(), value.c_str(), 1) != 0)
    throw EQelError("cannot set environment variable " + name + ": " + std::strerror(errno));
}

}  // namespace qel
