#include "platform/TreeFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/Error.h"

namespace qel {
namespace {

constexpr intptr_t kClosed = -1;

[[noreturn]] void Fail(const std::string& what, const std::string& path, int error) {
  throw EQelError(what + " " + path + ": " + std::strerror(error));
}

}  // namespace

void MakeFolderIfMissing(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return;
  if (mkdir(path.c_str(), 0777) != 0) Fail("cannot create folder", path, errno);
}

void MakeTreeFolder(const std::string& path) {
  if (mkdir(path.c_str(), 0777) == 0) return;
  const int error = errno;
  struct stat info {};
  if (error == EEXIST && lstat(path.c_str(), &info) == 0) {
    if (S_ISDIR(info.st_mode)) return;
    throw EQelError("not a folder: " + path);
  }
  Fail("cannot create folder", path, error);
}

TTreeFile::TTreeFile(intptr_t handle, std::string path)
    : Handle_(handle), Path_(std::move(path)) {}

std::unique_ptr<TTreeFile> TTreeFile::Create(const std::string& path) {
  // No O_TRUNC yet: what is there must first prove to be a regular file.
  // O_NONBLOCK keeps a pipe without a reader from stopping the open.
  const int fd =
      open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0666);
  if (fd < 0) Fail("cannot create file", path, errno);
  std::unique_ptr<TTreeFile> file(new TTreeFile(fd, path));
  struct stat info {};
  if (fstat(fd, &info) != 0) Fail("cannot examine file", path, errno);
  if (!S_ISREG(info.st_mode)) throw EQelError("not a regular file: " + path);
  if (ftruncate(fd, 0) != 0) Fail("cannot empty file", path, errno);
  return file;
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
