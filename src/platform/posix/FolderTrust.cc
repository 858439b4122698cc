#include "platform/FolderTrust.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace qel {

TFolderTrust TrustOfFolder(const std::string& path) {
  // A trailing separator would make lstat follow a link in the folder's place.
  std::string folder = path;
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  struct stat info {};
  if (::lstat(folder.c_str(), &info) != 0) return errno == ENOENT ? ftMissing : ftOpen;
  if (!S_ISDIR(info.st_mode)) return ftOpen;
  // Whoever owns a folder may change it, sticky bit or not.
  if (info.st_uid != ::geteuid() && info.st_uid != 0) return ftOpen;
  if ((info.st_mode & (S_IWGRP | S_IWOTH)) == 0) return ftUsersAlone;
  return (info.st_mode & S_ISVTX) != 0 ? ftStickyShared : ftOpen;
}

}  // namespace qel
