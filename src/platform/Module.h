// Loading a module (a shared library) by its full path and finding its entry
// points by exact name, behind a seam so that tests can make a load fail.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace qel {

// The calling convention of entry points that the operating system's own
// modules use: stdcall on 32-bit Windows, the platform's default elsewhere.
#if defined(_WIN32) && !defined(_WIN64)
#define QEL_MODULECALL __stdcall
#else
#define QEL_MODULECALL
#endif

// A loaded module; unloaded on destruction.
class TModule {
 public:
  virtual ~TModule() = default;
  // The entry point of exactly this name, or nullptr.
  virtual void* Entry(const std::string& name) = 0;
};

class TModuleLoader {
 public:
  virtual ~TModuleLoader() = default;
  // nullptr when the module cannot be loaded. The path must name a folder;
  // a bare file name is refused, never looked up among the system's
  // libraries.
  virtual std::unique_ptr<TModule> Load(const std::string& path) = 0;
  // Remembers the folder where the dependencies of modules loaded afterwards
  // are looked for; false when it cannot be used (no such folder).
  virtual bool SetSearchFolder(const std::string& folder) = 0;
  virtual std::string SearchFolder() const = 0;
};

// The operating system's loader, shared by the process.
TModuleLoader& DefaultModuleLoader();

}  // namespace qel
