#include "platform/posix/CopyDataSocketFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/CopyDataEndpoint.h"
#include "platform/Error.h"
#include "platform/posix/RuntimeFolder.h"

namespace qel {
namespace {

struct TAddress {
  sockaddr_un Un{};
  socklen_t Length = 0;
};

// The socket file reached through the folder's descriptor: short however
// deep the folder lies. Raises EQelError for a name too long even so.
TAddress AddressIn(const TFileDescriptor& folder, const std::string& name) {
  const std::string path = "/proc/self/fd/" + std::to_string(folder.Get()) + "/" + name;
  TAddress address;
  address.Un.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.Un.sun_path)
    throw EQelError("copy-data socket name too long: " + name);
  std::memcpy(address.Un.sun_path, path.c_str(), path.size() + 1);
  address.Length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size() + 1);
  return address;
}

const sockaddr* AsSockaddr(const TAddress& address) {
  return reinterpret_cast<const sockaddr*>(&address.Un);
}

int ConnectTo(int socket, const TAddress& address) {
  int result;
  do {
    result = connect(socket, AsSockaddr(address), address.Length);
  } while (result != 0 && errno == EINTR);
  return result == 0 ? 0 : errno;
}

// A socket file whose receiver is gone: nobody answers on it.
bool IsStale(const TAddress& address) {
  TFileDescriptor probe(socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  return probe.Valid() && ConnectTo(probe.Get(), address) == ECONNREFUSED;
}

// Binding, replacing and removing socket files happen under an exclusive
// lock on the folder, so that two receivers never take each other's file
// for a stale one.
class TFolderLock {
 public:
  explicit TFolderLock(const TFileDescriptor& folder) : Folder_(folder.Get()) {
    while (flock(Folder_, LOCK_EX) != 0 && errno == EINTR) {
    }
  }
  ~TFolderLock() { flock(Folder_, LOCK_UN); }
  TFolderLock(const TFolderLock&) = delete;
  TFolderLock& operator=(const TFolderLock&) = delete;

 private:
  int Folder_;
};

}  // namespace

TFileDescriptor OpenCopyDataFolder() {
  return OpenRuntimeFolder(CurrentRuntimeFolderPlace()).Folder;
}

int ConnectCopyDataSocket(int socket, const TFileDescriptor& folder, const std::string& name) {
  // The folder is the user's and closed to others, so the file can only be
  // the user's; the check keeps a file planted by root or another means out.
  struct stat info {};
  if (fstatat(folder.Get(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) return errno;
  if (!S_ISSOCK(info.st_mode) || info.st_uid != geteuid()) return EPERM;
  return ConnectTo(socket, AddressIn(folder, name));
}

TCopyDataSocketFile::TCopyDataSocketFile(int socket, const std::string& name)
    : Folder_(OpenCopyDataFolder()), Name_(name) {
  const TAddress address = AddressIn(Folder_, Name_);
  TFolderLock lock(Folder_);
  int result = bind(socket, AsSockaddr(address), address.Length);
  if (result != 0 && errno == EADDRINUSE && IsStale(address)) {
    unlinkat(Folder_.Get(), Name_.c_str(), 0);
    result = bind(socket, AsSockaddr(address), address.Length);
  }
  if (result != 0) {
    const int error = errno;
    const std::string text =
        "Cannot receive copy-data messages on " + Name_ + ": " + strerror(error);
    if (error == EADDRINUSE) throw EWindowTaken(text);
    throw EQelError(text);
  }
  struct stat info {};
  if (fstatat(Folder_.Get(), Name_.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0) {
    Device_ = info.st_dev;
    Inode_ = info.st_ino;
  }
}

TCopyDataSocketFile::~TCopyDataSocketFile() {
  TFolderLock lock(Folder_);
  struct stat info {};
  if (fstatat(Folder_.Get(), Name_.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
      info.st_dev == Device_ && info.st_ino == Inode_)
    unlinkat(Folder_.Get(), Name_.c_str(), 0);
}

}  // namespace qel
