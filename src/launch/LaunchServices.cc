#include "launch/LaunchServices.h"

#include "platform/DiskSpace.h"
#include "platform/GameProcess.h"

namespace qel {

TLaunchServices DefaultLaunchServices() {
  TLaunchServices services;
  services.Files = &DefaultFileSystem();
  services.Modules = &DefaultModuleLoader();
  services.Windows = &DefaultWindowSystem();
  services.FreeSpace = &BytesAvailableToCaller;
  services.InstallRoots = &FallbackInstallRoots;
  services.TrustOf = &TrustOfFolder;
  services.StartProcess = &StartGameProcess;
  return services;
}

}  // namespace qel
