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
// A folder of the user's opened to changes by everyone, or by a group of
// other users, and closed to others again.
void OpenFolderToOthers(const std::string& folder);
void OpenFolderToGroup(const std::string& folder);
void CloseFolderToOthers(const std::string& folder);
// Why named objects have no files in the named object folder here (they
// are kernel objects, the folder only sets their names apart); nullptr
// where they do.
const char* NoNamedObjectFiles();
// Why the units of a named semaphore that a killed process held stay taken
// here; nullptr where they come back.
const char* KilledHoldersUnitsStayTaken();

}  // namespace qel::test
