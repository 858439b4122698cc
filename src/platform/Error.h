// The failure that travels through the system: a message text, caught at the
// boundaries the system names (entry points, the workflow's tick, the timer).
#pragma once

#include <stdexcept>
#include <string>

namespace qel {

class EQelError : public std::runtime_error {
 public:
  explicit EQelError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace qel
