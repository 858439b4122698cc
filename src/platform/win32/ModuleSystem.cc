#include "platform/ModuleSystem.h"

#include <windows.h>

#include "platform/win32/NoErrorBoxes.h"

namespace qel::module_system {

bool HasFolder(const std::string& path) { return path.find_first_of("\\/") != std::string::npos; }

void* Open(const std::string& path) {
  // A missing dependency is a failed load, not a box for the user.
  win32::TNoErrorBoxes no_boxes;
  return LoadLibraryA(path.c_str());
}

void Close(void* handle) { FreeLibrary(static_cast<HMODULE>(handle)); }

void* Entry(void* handle, const std::string& name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name.c_str()));
}

// The system's DLL directory, which the loader looks in for the dependencies
// of modules loaded afterwards.
bool UseSearchFolder(const std::string& folder) {
  const DWORD attributes = GetFileAttributesA(folder.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return false;
  return SetDllDirectoryA(folder.c_str()) != 0;
}

}  // namespace qel::module_system
