#include "platform/Module.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <mutex>

namespace qel {
namespace {

class TPosixModule final : public TModule {
 public:
  explicit TPosixModule(void* handle) : Handle_(handle) {}
  ~TPosixModule() override { ::dlclose(Handle_); }
  TPosixModule(const TPosixModule&) = delete;
  TPosixModule& operator=(const TPosixModule&) = delete;

  void* Entry(const std::string& name) override {
    if (name.empty()) return nullptr;
    return ::dlsym(Handle_, name.c_str());
  }

 private:
  void* Handle_;
};

// Modules find their own dependencies through RPATH $ORIGIN, so the search
// folder is only remembered; a retried load is a second dlopen.
class TPosixModuleLoader final : public TModuleLoader {
 public:
  std::unique_ptr<TModule> Load(const std::string& path) override {
    if (path.find('/') == std::string::npos) return nullptr;
    // RTLD_NOW: a module with a missing symbol fails here, not at its call.
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) return nullptr;
    return std::make_unique<TPosixModule>(handle);
  }

  bool SetSearchFolder(const std::string& folder) override {
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return false;
    std::lock_guard<std::mutex> guard(Lock_);
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
  static TPosixModuleLoader loader;
  return loader;
}

}  // namespace qel
