#include "platform/TreeFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/Error.h"
#include "platform/FolderRemoval.h"

namespace qel {
namespace {

constexpr intptr_t kClosed = -1;
// Each attempt removes what was in the way; another process that keeps
// putting things there makes the write fail rather than loop.
constexpr int kAttempts = 4;
// O_NONBLOCK: should a pipe take the place between the look and the open,
// the open does not wait for a reader.
constexpr int kOpenForWriting = O_WRONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK;

[[noreturn]] void Fail(const std::string& what, const std::string& path, int error) {
  throw EQelError(what + " " + path + ": " + std::strerror(error));
}

// A file with other names would change them too when written.
bool IsOwnRegularFile(const struct stat& info) {
  return S_ISREG(info.st_mode) && info.st_nlink == 1;
}

// Removes what stands in the way without following links: a folder with
// everything in it, anything else itself.
void RemoveInTheWay(const std::string& path, const struct stat& found) {
  if (S_ISDIR(found.st_mode)) {
    if (!DeleteTree(path)) throw EQelError("cannot remove the folder in the way: " + path);
    return;
  }
  if (unlink(path.c_str()) != 0 && errno != ENOENT) Fail("cannot remove", path, errno);
}

// False when nothing is at the path.
bool LookWithoutFollowing(const std::string& path, struct stat& info) {
  if (lstat(path.c_str(), &info) == 0) return true;
  if (errno != ENOENT) Fail("cannot examine", path, errno);
  return false;
}

}  // namespace

void MakeFolderIfMissing(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return;
  if (mkdir(path.c_str(), 0777) != 0) Fail("cannot create folder", path, errno);
}

void MakeTreeFolder(const std::string& path) {
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    if (mkdir(path.c_str(), 0777) == 0) return;
    if (errno != EEXIST) Fail("cannot create folder", path, errno);
    struct stat found {};
    if (!LookWithoutFollowing(path, found)) continue;
    if (S_ISDIR(found.st_mode)) return;
    RemoveInTheWay(path, found);
  }
  throw EQelError("cannot create folder " + path + ": something keeps taking its place");
}

TTreeFile::TTreeFile(intptr_t handle, std::string path)
    : Handle_(handle), Path_(std::move(path)) {}

std::unique_ptr<TTreeFile> TTreeFile::Create(const std::string& path) {
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    // Most files are new: made here, with nothing else behind the name.
    int fd = open(path.c_str(), kOpenForWriting | O_CREAT | O_EXCL, 0666);
    if (fd >= 0) return std::unique_ptr<TTreeFile>(new TTreeFile(fd, path));
    if (errno != EEXIST) Fail("cannot create file", path, errno);

    struct stat found {};
    if (!LookWithoutFollowing(path, found)) continue;
    if (!IsOwnRegularFile(found)) {
      RemoveInTheWay(path, found);
      continue;
    }
    fd = open(path.c_str(), kOpenForWriting);
    if (fd < 0) {
      // Replaced since the look (ELOOP: by a link, ENXIO: by a pipe).
      if (errno == ENOENT || errno == ELOOP || errno == EISDIR || errno == ENXIO) continue;
      Fail("cannot create file", path, errno);
    }
    std::unique_ptr<TTreeFile> file(new TTreeFile(fd, path));
    struct stat opened {};
    if (fstat(fd, &opened) != 0) Fail("cannot examine file", path, errno);
    if (opened.st_dev != found.st_dev || opened.st_ino != found.st_ino ||
        !IsOwnRegularFile(opened))
      continue;
    if (opened.st_size > 0 && ftruncate(fd, 0) != 0) Fail("cannot empty file", path, errno);
    return file;
  }
  throw EQelError("cannot create file " + path + ": something keeps taking its place");
}

TTreeFile::~TTreeFile() {
  if (Handle_ != kClosed) close(static_cast<int>(Handle_));
}

void TTreeFile::Write(std::span<const uint8_t> bytes) {
  if (Handle_ == kClosed) throw EQelError("file already closed: " + Path_);
  while (!bytes.empty()) {
    const ssize_t written = write(static_cast<int>(Handle_), bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      Fail("cannot write file", Path_, errno);
    }
    bytes = bytes.subspan(static_cast<size_t>(written));
  }
}

void TTreeFile::Close() {
  if (Handle_ == kClosed) return;
  const int fd = static_cast<int>(Handle_);
  Handle_ = kClosed;
  if (close(fd) != 0) Fail("cannot close file", Path_, errno);
}

}  // namespace qel
