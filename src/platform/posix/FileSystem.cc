#include "platform/FileSystem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/Error.h"
#include "platform/posix/FileDescriptor.h"

namespace qel {
namespace {

[[noreturn]] void Fail(const char* what, const std::string& path, int error) {
  throw EQelError(std::string(what) + " " + path + ": " + std::strerror(error));
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

void SyncFolder(const std::string& folder) {
  TFileDescriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!fd.Valid()) Fail("cannot open folder", folder, errno);
  // Some file systems cannot sync a folder (EINVAL); the rename stands anyway.
  if (::fsync(fd.Get()) != 0 && errno != EINVAL) Fail("cannot flush folder", folder, errno);
}

class TPosixFileSystem final : public TFileSystem {
 public:
  bool FileExists(const std::string& path) override {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
  }

  bool DirectoryExists(const std::string& path) override {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
  }

  bool MakeDirectory(const std::string& path) override {
    // Closed to writes by group and others, whatever the umask: code is
    // loaded from the folders made here.
    if (::mkdir(path.c_str(), 0755) == 0) return true;
    return errno == EEXIST && DirectoryExists(path);
  }

  std::string ReadFile(const std::string& path, uint64_t max_bytes) override {
    TFileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
    if (!fd.Valid()) Fail("cannot open", path, errno);
    struct stat info {};
    if (::fstat(fd.Get(), &info) != 0) Fail("cannot examine", path, errno);
    if (!S_ISREG(info.st_mode)) throw EQelError("not a regular file: " + path);
    if (static_cast<uint64_t>(info.st_size) > max_bytes) throw EFileTooLarge("file too large: " + path);

    std::string content;
    content.reserve(static_cast<std::size_t>(info.st_size));
    char buffer[65536];
    for (;;) {
      const ssize_t got = ::read(fd.Get(), buffer, sizeof buffer);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) Fail("cannot read", path, errno);
      if (got == 0) break;
      // The file may have grown since it was examined.
      if (content.size() + static_cast<uint64_t>(got) > max_bytes)
        throw EFileTooLarge("file too large: " + path);
      content.append(buffer, static_cast<std::size_t>(got));
    }
    return content;
  }

  void WriteFile(const std::string& path, std::string_view bytes) override {
    TFileDescriptor fd(::open(path.c_str(),
                              O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY, 0666));
    if (!fd.Valid()) Fail("cannot create", path, errno);
    while (!bytes.empty()) {
      const ssize_t put = ::write(fd.Get(), bytes.data(), bytes.size());
      if (put < 0 && errno == EINTR) continue;
      if (put < 0) Fail("cannot write", path, errno);
      bytes.remove_prefix(static_cast<std::size_t>(put));
    }
    if (::fsync(fd.Get()) != 0) Fail("cannot flush", path, errno);
    // Closed here so that a failure to close (a late write error) is seen.
    if (::close(fd.Release()) != 0) Fail("cannot close", path, errno);
  }

  void RenameFile(const std::string& from, const std::string& to) override {
    if (::rename(from.c_str(), to.c_str()) != 0) Fail("cannot rename", from, errno);
    SyncFolder(FolderOf(to));
  }

  bool RemoveFile(const std::string& path) override {
    return ::unlink(path.c_str()) == 0 || errno == ENOENT;
  }
};

}  // namespace

TFileSystem& DefaultFileSystem() {
  static TPosixFileSystem files;
  return files;
}

}  // namespace qel
