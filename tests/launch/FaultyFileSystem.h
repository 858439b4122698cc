// The real file system with faults on demand: a disk that fills up after so
// many bytes, a rename that fails, and a hook just before each rename (where
// a crash would leave the new file written but not yet in place).
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

#include "platform/FileSystem.h"

namespace qel::test {

class TFaultyFileSystem : public TFileSystem {
 public:
  // WriteFile writes this many bytes, then fails as a full disk does.
  std::optional<std::size_t> DiskRoom;
  bool FailRename = false;
  std::function<void(const std::string& from, const std::string& to)> BeforeRename;
  int Writes = 0;
  int Renames = 0;

  bool FileExists(const std::string& path) override { return Real().FileExists(path); }
  bool DirectoryExists(const std::string& path) override { return Real().DirectoryExists(path); }
  bool MakeDirectory(const std::string& path) override { return Real().MakeDirectory(path); }
  std::string ReadFile(const std::string& path, uint64_t max_bytes) override {
    return Real().ReadFile(path, max_bytes);
  }
  void WriteFile(const std::string& path, std::string_view bytes) override {
    ++Writes;
    if (DiskRoom && bytes.size() > *DiskRoom) {
      Real().WriteFile(path, bytes.substr(0, *DiskRoom));
      throw EQelError("no space left on device");
    }
    Real().WriteFile(path, bytes);
  }
  void RenameFile(const std::string& from, const std::string& to) override {
    ++Renames;
    if (BeforeRename) BeforeRename(from, to);
    if (FailRename) throw EQelError("cannot rename");
    Real().RenameFile(from, to);
  }
  bool RemoveFile(const std::string& path) override { return Real().RemoveFile(path); }

 private:
  static TFileSystem& Real() { return DefaultFileSystem(); }
};

}  // namespace qel::test
