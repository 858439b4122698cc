// What the launch tests ask of the system they run on, each system's in a
// file of its own (posix/, win32/).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qel::test {

// The full path of the running test program.
std::string ThisProgramPath();
// Removes the variable from the process's environment, as if never set.
void RemoveEnvironmentVariable(const std::string& name);
// The files below `folder` that process `pid` has open; nothing where named
// objects are no files (Windows).
std::optional<std::vector<std::string>> FilesOpenIn(uint32_t pid, const std::string& folder);

}  // namespace qel::test
