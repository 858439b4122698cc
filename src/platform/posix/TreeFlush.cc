#include "platform/TreeFlush.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/Error.h"
#include "platform/TreeFiles.h"
#include "platform/posix/FileDescriptor.h"

namespace qel {
namespace {

[[noreturn]] void Fail(const std::string& what, const std::string& path, int error) {
  throw EQelError(what + " " + path + ": " + std::strerror(error));
}

// syncfs waits for the writeback of a whole file system and commits its
// journal once, and reports the writeback errors met since the descriptor
// it is given was opened: one descriptor per file system, opened before the
// first write there, so that no error of the tree's writeback goes unseen.
class TFileSystemFlush final : public TTreeFlush {
 public:
  void FileWritten(const TTreeFile& file) override {
    const int fd = static_cast<int>(file.Handle());
    // Starts the writeback now, so the disk works while later blocks are
    // unpacked; a failure of it shows in Finish.
    (void)sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
    struct stat info {};
    if (fstat(fd, &info) != 0) Fail("cannot examine", file.Path(), errno);
    if (!Knows(info.st_dev)) Remember(info.st_dev, TFileDescriptor(dup(fd)), file.Path());
  }

  void FolderChanged(const std::string& path) override {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) Fail("cannot examine", path, errno);
    if (Knows(info.st_dev)) return;
    Remember(info.st_dev, TFileDescriptor(open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)),
             path);
  }

  void Finish() override {
    for (const TFileSystem& system : FileSystems_)
      if (syncfs(system.Handle.Get()) != 0) Fail("cannot flush the file system of", system.Path, errno);
  }

 private:
  struct TFileSystem {
    dev_t Device;
    TFileDescriptor Handle;
    std::string Path;
  };

  bool Knows(dev_t device) const {
    for (const TFileSystem& system : FileSystems_)
      if (system.Device == device) return true;
    return false;
  }

  void Remember(dev_t device, TFileDescriptor handle, const std::string& path) {
    if (!handle.Valid()) Fail("cannot open for flushing", path, errno);
    FileSystems_.push_back({device, std::move(handle), path});
  }

  std::vector<TFileSystem> FileSystems_;
};

}  // namespace

std::unique_ptr<TTreeFlush> MakeTreeFlush() { return std::make_unique<TFileSystemFlush>(); }

}  // namespace qel
