#include "platform/posix/RuntimeFolder.h"

#include <fcntl.h>
#include <glib.h>
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

// Longest escaped name kept whole; with the suffix it stays well inside
// the 255 bytes a file name may have.
constexpr std::size_t kWholeNameLimit = 200;
constexpr std::size_t kCutNameLength = 120;

std::mutex& OverrideLock() {
  static std::mutex lock;
  return lock;
}

std::string& OverrideFolder() {
  static std::string folder;
  return folder;
}

bool IsPlainByte(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
         c == '_' || c == '-';
}

std::string Escape(std::string_view name) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string escaped;
  escaped.reserve(name.size());
  for (const char ch : name) {
    const auto c = static_cast<unsigned char>(ch);
    if (IsPlainByte(c)) {
      escaped += ch;
    } else {
      escaped += '%';
      escaped += kHex[c >> 4];
      escaped += kHex[c & 0xF];
    }
  }
  return escaped;
}

std::string Sha256Hex(std::string_view bytes) {
  gchar* digest = g_compute_checksum_for_data(
      G_CHECKSUM_SHA256, reinterpret_cast<const guchar*>(bytes.data()), bytes.size());
  std::string hex(digest);
  g_free(digest);
  return hex;
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
    g_mkdir_with_parents(place.CacheHome.c_str(), 0700);
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

std::string ObjectFileName(std::string_view name, std::string_view suffix) {
  std::string escaped = Escape(name);
  if (escaped.size() > kWholeNameLimit) {
    std::size_t cut = kCutNameLength;
    // Never end inside a three-byte escape.
    const std::size_t percent = escaped.rfind('%', cut - 1);
    if (percent != std::string::npos && percent + 3 > cut) cut = percent;
    escaped = escaped.substr(0, cut) + "~" + Sha256Hex(name);
  }
  escaped += suffix;
  return escaped;
}

}  // namespace qel
