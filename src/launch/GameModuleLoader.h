// Loading a game's update or init module from its install folder, and
// finding its entry point.
#pragma once

#include <memory>
#include <string>

#include "launch/GameModules.h"
#include "platform/Module.h"

namespace qel {

// Loads the module by its full path (install folder + file name). When that
// fails, the install folder becomes the module search folder and, only if
// that succeeds, the load is tried once more. nullptr when both fail.
std::unique_ptr<TModule> LoadGameModule(TModuleLoader& loader, const std::string& install_path,
                                        const std::string& module_path);

// The entry point under its exact name, or nullptr.
TUpdateGameProc FindUpdateGame(TModule& module);
TInitGameProc FindInitGame(TModule& module);

}  // namespace qel
