#include "launch/InstallFolder.h"

#include "launch/GameFolderName.h"

namespace qel {
namespace {

bool HasSpace(const TLaunchServices& services, const std::string& folder, uint64_t needed) {
  const std::optional<uint64_t> available = services.FreeSpace(folder);
  return available && *available > needed;
}

bool UsersAlone(const TLaunchServices& services, const std::string& folder) {
  return services.TrustOf(folder) == ftUsersAlone;
}

// Others may add entries to a root only when its sticky bit keeps them from
// moving ours away.
bool KeepsOurEntries(const TLaunchServices& services, const std::string& folder) {
  const TFolderTrust trust = services.TrustOf(folder);
  return trust == ftUsersAlone || trust == ftStickyShared;
}

// Made when missing (closed to group and others), and the user's alone.
bool MakeOwnFolder(const TLaunchServices& services, const std::string& folder) {
  return services.Files->MakeDirectory(folder) && UsersAlone(services, folder);
}

std::string ParentOf(const std::string& folder) {
  const size_t end = folder.find_last_not_of(kPathDelimiter);
  if (end == std::string::npos) return folder;
  const size_t cut = folder.rfind(kPathDelimiter, end);
  return cut == std::string::npos ? std::string() : folder.substr(0, cut + 1);
}

}  // namespace

std::string ChooseInstallFolder(const TLaunchServices& services, const std::string& plugin_dir,
                                std::string_view game_id, int32_t required_mb) {
  if (!IsPlainFolderName(game_id)) return {};
  const uint64_t needed = static_cast<uint64_t>(required_mb < 0 ? 0 : required_mb) * 1048576;
  const std::string own = std::string(game_id) + kPathDelimiter;
  if (HasSpace(services, plugin_dir, needed) && UsersAlone(services, plugin_dir)) {
    const std::string folder = plugin_dir + own;
    if (MakeOwnFolder(services, folder)) return folder;
  }
  for (const std::string& root : services.InstallRoots()) {
    if (!HasSpace(services, root, needed) || !KeepsOurEntries(services, root)) continue;
    const std::string games = root + std::string(kInstallRootFolder) + kPathDelimiter;
    if (!MakeOwnFolder(services, games)) continue;
    const std::string folder = games + own;
    if (MakeOwnFolder(services, folder)) return folder;
  }
  return {};
}

bool RecordedFolderIsSafe(const TLaunchServices& services, const std::string& plugin_dir,
                          const std::string& folder) {
  if (folder.starts_with(plugin_dir) && !UsersAlone(services, plugin_dir)) return false;
  switch (services.TrustOf(folder)) {
    case ftUsersAlone:
      return true;
    case ftMissing:
      return KeepsOurEntries(services, ParentOf(folder));
    case ftStickyShared:
    case ftOpen:
      break;
  }
  return false;
}

}  // namespace qel
