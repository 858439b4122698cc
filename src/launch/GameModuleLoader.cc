#include "launch/GameModuleLoader.h"

namespace qel {

std::unique_ptr<TModule> LoadGameModule(TModuleLoader& loader, const std::string& install_path,
                                        const std::string& module_path) {
  std::unique_ptr<TModule> module = loader.Load(module_path);
  if (module == nullptr && loader.SetSearchFolder(install_path)) module = loader.Load(module_path);
  return module;
}

TUpdateGameProc FindUpdateGame(TModule& module) {
  return reinterpret_cast<TUpdateGameProc>(module.Entry(kUpdateGameEntry));
}

TInitGameProc FindInitGame(TModule& module) {
  return reinterpret_cast<TInitGameProc>(module.Entry(kInitGameEntry));
}

}  // namespace qel
