#include "launch/InstallFolder.h"

#include "launch/GameFolderName.h"

namespace qel {
namespace {

bool HasSpace(const TLaunchServices& services, const std::string& folder, uint64_t needed) {
  const std::optional<uint64_t> available = services.FreeSpace(folder);
  return available && *available > needed;
}

}  // namespace

std::string ChooseInstallFolder(const TLaunchServices& services, const std::string& plugin_dir,
                                std::string_view game_id, int32_t required_mb) {
  if (!IsPlainFolderName(game_id)) return {};
  const uint64_t needed = static_cast<uint64_t>(required_mb < 0 ? 0 : required_mb) * 1048576;
  const std::string own = std::string(game_id) + kPathDelimiter;
  if (HasSpace(services, plugin_dir, needed)) {
    const std::string folder = plugin_dir + own;
    if (services.Files->CreateDirectory(folder)) return folder;
  }
  for (const std::string& root : services.InstallRoots()) {
    if (!HasSpace(services, root, needed)) continue;
    const std::string games = root + std::string(kInstallRootFolder) + kPathDelimiter;
    if (!services.Files->CreateDirectory(games)) continue;
    const std::string folder = games + own;
    if (services.Files->CreateDirectory(folder)) return folder;
  }
  return {};
}

}  // namespace qel
