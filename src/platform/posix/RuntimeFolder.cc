#include "platform/posix/RuntimeFolder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>

#include "platform/Error.h"
#include "platform/NamedObjectFolder.h"

namespace qel {
namespace {

std::mutex& OverrideLock() {
  static std::mutex lock;
  return lock;
}

std::string& OverrideFolder() {
  static std::string folder;
  return folder;
}

// Makes each missing folder of the absolute `path`, 0700; the folders that
// exist stay as they are.
void MakeMissingFolders(const std::string& path) {
  for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    ::mkdir(path.substr(0, slash).c_str(), 0700);
    if (slash == std::string::npos) return;
  }
}

// "<runtime dir>/qelgame"; empty when the runtime folder is not set or is
// relative, which the XDG rules make invalid.
std::string UserRuntimeFolderPath(const TRuntimeFolderPlace& place) {
  if (place.XdgRuntimeDir.empty() || place.XdgRuntimeDir.front() != '/') return {};
  return place.XdgRuntimeDir + "/qelgame";
}

std::string TempRuntimeFolderPath(const TRuntimeFolderPlace& place) {
  return place.TempBase + "/qelgame-" + std::to_string(place.Uid);
}

}  // namespace

void SetNamedObjectFolderForTesting(const std::string& folder) {
  std::lock_guard<std::mutex> guard(OverrideLock());
  OverrideFolder() = folder;
}

TRuntimeFolderPlace CurrentRuntimeFolderPlace() {
  TRuntimeFolderPlace place;
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR")) place.XdgRuntimeDir = runtime;
  const char* cache = std::getenv("XDG_CACHE_HOME");
  const char* home = std::getenv("HOME");
  if (cache != nullptr && cache[0] == '/') {
    place.CacheHome = cache;
  } else if (home != nullptr && home[0] == '/') {
    place.CacheHome = std::string(home) + "/.cache";
  }
  place.Uid = static_cast<uint32_t>(::geteuid());
  return place;
}

std::string RuntimeFolderPath(const TRuntimeFolderPlace& place) {
  const std::string own = UserRuntimeFolderPath(place);
  return own.empty() ? TempRuntimeFolderPath(place) : own;
}

std::string FallbackRuntimeFolderPath(const TRuntimeFolderPlace& place) {
  return place.CacheHome.empty() ? std::string() : place.CacheHome + "/qelgame-runtime";
}

TRuntimeFolder OpenRuntimeFolder(const TRuntimeFolderPlace& place) {
  std::string refusals;
  const auto attempt = [&](const std::string& path) -> std::optional<TRuntimeFolder> {
    if (path.empty()) return std::nullopt;
    try {
      return TRuntimeFolder{path, OpenPrivateFolder(path, place.Uid)};
    } catch (const EQelError& refusal) {
      refusals += std::string(refusals.empty() ? "" : "; ") + refusal.what();
      return std::nullopt;
    }
  };
  if (auto folder = attempt(UserRuntimeFolderPath(place))) return std::move(*folder);
  const std::string fallback = FallbackRuntimeFolderPath(place);
  struct stat info {};
  const bool fallen_back = !fallback.empty() && ::lstat(fallback.c_str(), &info) == 0;
  if (fallen_back) {
    if (auto folder = attempt(fallback)) return std::move(*folder);
  }
  if (auto folder = attempt(TempRuntimeFolderPath(place))) return std::move(*folder);
  if (!fallen_back && !fallback.empty()) {
    // A fresh account may have no cache folder yet; the XDG rules make it 0700.
    MakeMissingFolders(place.CacheHome);
    if (auto folder = attempt(fallback)) return std::move(*folder);
  }
  throw EQelError("no private runtime folder: " + refusals);
}

TFileDescriptor OpenPrivateFolder(const std::string& path, uint32_t uid) {
  if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
    throw EQelError("cannot create " + path + ": " + std::strerror(errno));
  // O_NOFOLLOW: a link in the folder's place is refused, not followed.
  TFileDescriptor folder(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (!folder.Valid())
    throw EQelError("cannot use " + path + " (a link or no folder): " + std::strerror(errno));
  struct stat info {};
  if (::fstat(folder.Get(), &info) != 0)
    throw EQelError("cannot examine " + path + ": " + std::strerror(errno));
  if (info.st_uid != uid) throw EQelError(path + " belongs to another user");
  if ((info.st_mode & 077) != 0) throw EQelError(path + " is open to other users");
  return folder;
}

TFileDescriptor OpenNamedObjectFolder() {
  std::string folder;
  {
    std::lock_guard<std::mutex> guard(OverrideLock());
    folder = OverrideFolder();
  }
  const TRuntimeFolderPlace place = CurrentRuntimeFolderPlace();
  if (folder.empty()) return OpenRuntimeFolder(place).Folder;
  return OpenPrivateFolder(folder, place.Uid);
}

}  // namespace qel
