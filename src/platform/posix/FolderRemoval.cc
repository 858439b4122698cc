#include "platform/FolderRemoval.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "platform/posix/FileDescriptor.h"

namespace qel {
namespace {

struct TFolderStreamCloser {
  void operator()(DIR* stream) const { closedir(stream); }
};
using TFolderStream = std::unique_ptr<DIR, TFolderStreamCloser>;

bool DeleteEntry(int parent, const char* name);

// Entries of a folder cannot be deleted unless its owner may write and search
// it; the folder's own permissions stand in for a read-only attribute.
// Never follows a symbolic link that took the folder's place.
void LetOwnerChange(int parent, const char* name, mode_t mode) {
  if ((mode & S_IRWXU) == S_IRWXU) return;
  // A failure shows when the entries cannot be deleted.
  (void)fchmodat(parent, name, (mode & 07777) | S_IRWXU, AT_SYMLINK_NOFOLLOW);
}

TFileDescriptor OpenFolderBelow(int parent, const char* name) {
  return TFileDescriptor(openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

// True when every entry is gone; stops at the first one that stays.
bool DeleteEntries(TFileDescriptor folder) {
  TFolderStream stream(fdopendir(folder.Get()));
  if (!stream) return false;
  folder.Release();
  const int fd = dirfd(stream.get());
  for (;;) {
    errno = 0;
    const dirent* entry = readdir(stream.get());
    if (entry == nullptr) return errno == 0;
    if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
    if (!DeleteEntry(fd, entry->d_name)) return false;
  }
}

bool RemoveEmptiedFolder(int parent, const char* name) {
  return unlinkat(parent, name, AT_REMOVEDIR) == 0 || errno == ENOENT;
}

bool DeleteEntry(int parent, const char* name) {
  struct stat info {};
  if (fstatat(parent, name, &info, AT_SYMLINK_NOFOLLOW) != 0) return errno == ENOENT;
  if (S_ISDIR(info.st_mode)) {
    LetOwnerChange(parent, name, info.st_mode);
    TFileDescriptor folder = OpenFolderBelow(parent, name);
    if (folder.Valid()) return DeleteEntries(std::move(folder)) && RemoveEmptiedFolder(parent, name);
    // Replaced by a link or file since it was examined: that goes as it is now.
    if (errno != ELOOP && errno != ENOTDIR) return false;
  }
  return unlinkat(parent, name, 0) == 0 || errno == ENOENT;
}

}  // namespace

bool DeleteTree(const std::string& folder) {
  const size_t end = folder.find_last_not_of('/');
  if (end == std::string::npos) return false;
  const size_t slash = folder.rfind('/', end);
  const std::string name = folder.substr(slash == std::string::npos ? 0 : slash + 1,
                                         slash == std::string::npos ? end + 1 : end - slash);
  // Neither can be removed, so nothing inside them is touched.
  if (name == "." || name == "..") return false;
  const std::string parent_path =
      slash == std::string::npos ? "." : slash == 0 ? "/" : folder.substr(0, slash);

  const TFileDescriptor parent(open(parent_path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (!parent.Valid()) return false;
  struct stat info {};
  if (fstatat(parent.Get(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) return false;
  if (!S_ISDIR(info.st_mode)) return false;
  LetOwnerChange(parent.Get(), name.c_str(), info.st_mode);
  TFileDescriptor top = OpenFolderBelow(parent.Get(), name.c_str());
  if (!top.Valid()) return false;
  return DeleteEntries(std::move(top)) && RemoveEmptiedFolder(parent.Get(), name.c_str());
}

}  // namespace qel
