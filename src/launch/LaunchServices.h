// What the launch workflow asks of the system, gathered in one place so that
// tests can put a file system with faults, another disk or no window system
// under it.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/FolderTrust.h"
#include "platform/Module.h"
#include "platform/NativeWindows.h"

namespace qel {

struct TLaunchServices {
  TFileSystem* Files = nullptr;
  TModuleLoader* Modules = nullptr;
  TWindowSystem* Windows = nullptr;
  // Bytes the caller may still write beside the folder; nothing when unknown.
  std::function<std::optional<uint64_t>(const std::string& folder)> FreeSpace;
  // Roots a new install may go under when the plug-in's folder lacks space.
  std::function<std::vector<std::string>()> InstallRoots;
  // Who may change what the folder holds (see TrustOfFolder).
  std::function<TFolderTrust(const std::string& folder)> TrustOf;
  // Starts the game program (see StartGameProcess); answers its process id
  // or raises EQelError.
  std::function<uint32_t(const std::string& program, const std::string& parameters,
                         const std::string& working_folder, const std::string& environment_parameters)>
      StartProcess;
};

// The operating system's.
TLaunchServices DefaultLaunchServices();

}  // namespace qel
