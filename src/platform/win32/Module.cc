#include "platform/Module.h"

#include <windows.h>

#include <mutex>

#include "platform/win32/NoErrorBoxes.h"

namespace qel {
namespace {

class TWin32Module final : public TModule {
 public:
  explicit TWin32Module(HMODULE handle) : Handle_(handle) {}
  ~TWin32Module() override { FreeLibrary(Handle_); }
  TWin32Module(const TWin32Module&) = delete;
  TWin32Module& operator=(const TWin32Module&) = delete;

  void* Entry(const std::string& name) override {
    if (name.empty()) return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(Handle_, name.c_str()));
  }

 private:
  HMODULE Handle_;
};

bool IsFolder(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// The search folder is the system's DLL directory, which the loader looks in
// for the dependencies of modules loaded afterwards.
class TWin32ModuleLoader final : public TModuleLoader {
 public:
  std::unique_ptr<TModule> Load(const std::string& path) override {
    if (path.find_first_of("\\/") == std::string::npos) return nullptr;
    // A missing dependency is a failed load, not a box for the user.
    win32::TNoErrorBoxes no_boxes;
    const HMODULE handle = LoadLibraryA(path.c_str());
    if (handle == nullptr) return nullptr;
    return std::make_unique<TWin32Module>(handle);
  }

  bool SetSearchFolder(const std::string& folder) override {
    std::lock_guard<std::mutex> guard(Lock_);
    if (!IsFolder(folder) || !SetDllDirectoryA(folder.c_str())) return false;
    SearchFolder_ = folder;
    return true;
  }

  std::string SearchFolder() const override {
    std::lock_guard<std::mutex> guard(Lock_);
    return SearchFolder_;
  }

 private:
  mutable std::mutex Lock_;
  std::string SearchFolder_;
};

}  // namespace

TModuleLoader& DefaultModuleLoader() {
  static TWin32ModuleLoader loader;
  return loader;
}

}  // namespace qel
