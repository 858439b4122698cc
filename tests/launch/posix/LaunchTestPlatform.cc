#include "LaunchTestPlatform.h"

#include <stdlib.h>

#include <filesystem>

namespace qel::test {

std::string ThisProgramPath() { return std::filesystem::read_symlink("/proc/self/exe").string(); }

void RemoveEnvironmentVariable(const std::string& name) { unsetenv(name.c_str()); }

std::optional<std::vector<std::string>> FilesOpenIn(uint32_t pid, const std::string& folder) {
  std::vector<std::string> open;
  const std::string canonical = std::filesystem::canonical(folder).string();
  for (const auto& fd : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd")) {
    std::error_code error;
    const std::string target = std::filesystem::read_symlink(fd.path(), error).string();
    if (!error && target.starts_with(canonical)) open.push_back(target);
  }
  return open;
}

void OpenFolderToOthers(const std::string& folder) {
  std::filesystem::permissions(folder, std::filesystem::perms::all);
}

void OpenFolderToGroup(const std::string& folder) {
  std::filesystem::permissions(folder, std::filesystem::perms::owner_all | std::filesystem::perms::group_all);
}

void CloseFolderToOthers(const std::string& folder) {
  std::filesystem::permissions(folder, std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
                                           std::filesystem::perms::group_exec);
}

const char* NoNamedObjectFiles() { return nullptr; }

// The units are locks on the semaphore's file, freed with their holder.
const char* KilledHoldersUnitsStayTaken() { return nullptr; }

}  // namespace qel::test
