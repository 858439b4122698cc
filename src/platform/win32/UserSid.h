// The account this process runs as.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace qel {

// A copy of the SID of the process's user. Raises EQelError.
std::vector<BYTE> CurrentUserSid();
// The same in its text form ("S-1-5-21-..."). Raises EQelError.
std::string CurrentUserSidText();

}  // namespace qel
