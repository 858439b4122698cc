// A file read and written at any offset, from more than one thread at once:
// one thread may write while another reads bytes that are already written
// or flushes. Used for a download's cache file, which grows as the bytes
// arrive and must reach the disk before anything records them.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace qel {

class TDataFile {
 public:
  // Opens the regular file at `path`, created empty when missing. A symbolic
  // link at the path is never followed. The file may be deleted while open
  // (on Windows too); it then goes when closed. Raises EQelError.
  static std::unique_ptr<TDataFile> Open(const std::string& path);
  ~TDataFile();
  TDataFile(const TDataFile&) = delete;
  TDataFile& operator=(const TDataFile&) = delete;

  // Every call below raises EQelError on failure.
  int64_t Size() const;
  // Windows keeps the bytes of a file mapped anywhere (TMappedFile): while
  // a view of it is mapped, cutting it raises.
  void Truncate(int64_t size);
  void WriteAt(int64_t offset, std::span<const uint8_t> bytes);
  // Fills `bytes` from `offset`; fewer bytes only at the end of the file.
  size_t ReadAt(int64_t offset, std::span<uint8_t> bytes) const;
  // The content written so far reaches the disk before this returns.
  void Flush();

  const std::string& Path() const { return Path_; }

 private:
  TDataFile(intptr_t handle, std::string path) : Handle_(handle), Path_(std::move(path)) {}

  intptr_t Handle_;
  std::string Path_;
};

}  // namespace qel
