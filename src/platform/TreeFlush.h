// Bringing an unpacked tree to the disk before success is reported, so that
// a power cut afterwards cannot leave empty or short files. The writer tells
// the flush of every file it wrote, just before closing it, and of every
// folder it made or changed; Finish returns once all of it is on the disk.
#pragma once

#include <memory>
#include <string>

namespace qel {

class TTreeFile;

class TTreeFlush {
 public:
  virtual ~TTreeFlush() = default;

  // The file is fully written and still open. Raises EQelError.
  virtual void FileWritten(const TTreeFile& file) = 0;
  // The folder was made, or entries in it were made or replaced. Raises EQelError.
  virtual void FolderChanged(const std::string& path) = 0;
  // Waits until everything told of is on the disk. Raises EQelError naming
  // what could not be flushed.
  virtual void Finish() = 0;
};

// The platform's flush. On Linux each file's writeback starts as it is
// closed and Finish syncs each file system involved once, which commits the
// journal once for the whole tree where a sync per file commits it per file.
// A flush per file handle (as on Windows) fits the same calls.
std::unique_ptr<TTreeFlush> MakeTreeFlush();

}  // namespace qel
