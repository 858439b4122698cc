#include "platform/DataFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/Error.h"
#include "platform/posix/FileDescriptor.h"

namespace qel {
namespace {

[[noreturn]] void Fail(const std::string& what, const std::string& path, int error) {
  throw EQelError(what + " " + path + ": " + std::strerror(error));
}

}  // namespace

std::unique_ptr<TDataFile> TDataFile::Open(const std::string& path) {
  // O_NONBLOCK: a pipe planted at the path must not stop the open.
  TFileDescriptor fd(::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0666));
  if (!fd.Valid()) Fail("cannot open", path, errno);
  struct stat info {};
  if (fstat(fd.Get(), &info) != 0) Fail("cannot examine", path, errno);
  if (!S_ISREG(info.st_mode)) throw EQelError("not a regular file: " + path);
  const int flags = fcntl(fd.Get(), F_GETFL);
  if (flags < 0 || fcntl(fd.Get(), F_SETFL, flags & ~O_NONBLOCK) != 0) Fail("cannot set up", path, errno);
  return std::unique_ptr<TDataFile>(new TDataFile(fd.Release(), path));
}

TDataFile::~TDataFile() { ::close(static_cast<int>(Handle_)); }

int64_t TDataFile::Size() const {
  struct stat info {};
  if (fstat(static_cast<int>(Handle_), &info) != 0) Fail("cannot examine", Path_, errno);
  return info.st_size;
}

void TDataFile::Truncate(int64_t size) {
  if (ftruncate(static_cast<int>(Handle_), size) != 0) Fail("cannot cut", Path_, errno);
}

void TDataFile::WriteAt(int64_t offset, std::span<const uint8_t> bytes) {
  while (!bytes.empty()) {
    const ssize_t put = pwrite(static_cast<int>(Handle_), bytes.data(), bytes.size(), offset);
    if (put < 0 && errno == EINTR) continue;
    if (put < 0) Fail("cannot write", Path_, errno);
    bytes = bytes.subspan(static_cast<size_t>(put));
    offset += put;
  }
}

size_t TDataFile::ReadAt(int64_t offset, std::span<uint8_t> bytes) const {
  size_t filled = 0;
  while (filled < bytes.size()) {
    const ssize_t got = pread(static_cast<int>(Handle_), bytes.data() + filled, bytes.size() - filled,
                              offset + static_cast<int64_t>(filled));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) Fail("cannot read", Path_, errno);
    if (got == 0) break;
    filled += static_cast<size_t>(got);
  }
  return filled;
}

void TDataFile::Flush() {
  if (fdatasync(static_cast<int>(Handle_)) != 0) Fail("cannot flush", Path_, errno);
}

}  // namespace qel
