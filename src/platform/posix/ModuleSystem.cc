#include "platform/ModuleSystem.h"

#include <dlfcn.h>
#include <sys/stat.h>

namespace qel::module_system {

bool HasFolder(const std::string& path) { return path.find('/') != std::string::npos; }

// RTLD_NOW: a module with a missing symbol fails here, not at its call.
void* Open(const std::string& path) { return ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL); }

void Close(void* handle) { ::dlclose(handle); }

void* Entry(void* handle, const std::string& name) { return ::dlsym(handle, name.c_str()); }

// Modules find their own dependencies through RPATH $ORIGIN, so the folder
// is only checked; the loader remembers it.
bool UseSearchFolder(const std::string& folder) {
  struct stat info {};
  return ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace qel::module_system
