// What the module loader (Module.cc) asks of each system's own loader:
// posix/ModuleSystem.cc and win32/ModuleSystem.cc.
#pragma once

#include <string>

namespace qel::module_system {

// Whether `path` names a folder before the file name; anything else would be
// looked up among the system's libraries.
bool HasFolder(const std::string& path);
// The system's handle of the loaded module, or nullptr.
void* Open(const std::string& path);
void Close(void* handle);
// The entry point of exactly this (non-empty) name, or nullptr.
void* Entry(void* handle, const std::string& name);
// Makes `folder` where dependencies of later loads are looked for; false when
// there is no such folder or the system refuses it.
bool UseSearchFolder(const std::string& folder);

}  // namespace qel::module_system
