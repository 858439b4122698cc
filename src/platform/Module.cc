#include "platform/Module.h"

#include <mutex>

#include "platform/ModuleSystem.h"

namespace qel {
namespace {

class TSystemModule final : public TModule {
 public:
  explicit TSystemModule(void* handle) : Handle_(handle) {}
  ~TSystemModule() override { module_system::Close(Handle_); }
  TSystemModule(const TSystemModule&) = delete;
  TSystemModule& operator=(const TSystemModule&) = delete;

  void* Entry(const std::string& name) override {
    if (name.empty()) return nullptr;
    return module_system::Entry(Handle_, name);
  }

 private:
  void* Handle_;
};

class TSystemModuleLoader final : public TModuleLoader {
 public:
  std::unique_ptr<TModule> Load(const std::string& path) override {
    if (!module_system::HasFolder(path)) return nullptr;
    void* handle = module_system::Open(path);
    if (handle == nullptr) return nullptr;
    return std::make_unique<TSystemModule>(handle);
  }

  bool SetSearchFolder(const std::string& folder) override {
    std::lock_guard<std::mutex> guard(Lock_);
    if (!module_system::UseSearchFolder(folder)) return false;
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
  static TSystemModuleLoader loader;
  return loader;
}

}  // namespace qel
