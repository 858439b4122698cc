// The program search path of the process, which a game's update module and
// the modules it loads search for their own libraries.
#pragma once

#include <string>

namespace qel {

// Adds the folder to PATH unless it is one of PATH's entries already. Under
// a process-wide lock, so that launchers of several games never lose each
// other's additions. At most 2048 characters are added.
void AddToSearchPath(const std::string& folder);

}  // namespace qel
