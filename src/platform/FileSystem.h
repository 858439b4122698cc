// Files and folders, behind one seam so that tests can put a file system with
// faults (a full disk, a crash before a rename) under the code that writes
// state files. Paths are 8-bit texts; folders end with kPathDelimiter.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Error.h"

namespace qel {

#if defined(_WIN32)
inline constexpr char kPathDelimiter = '\\';
#else
inline constexpr char kPathDelimiter = '/';
#endif

// ReadFile's failure for a file beyond the caller's limit.
class EFileTooLarge : public EQelError {
 public:
  using EQelError::EQelError;
};

class TFileSystem {
 public:
  virtual ~TFileSystem() = default;

  // A regular file (a link is followed).
  virtual bool FileExists(const std::string& path) = 0;
  virtual bool DirectoryExists(const std::string& path) = 0;
  // One level, closed to writes by group and others; true when the folder
  // exists afterwards.
  virtual bool MakeDirectory(const std::string& path) = 0;

  // The whole content. Raises EQelError when the file is missing or cannot
  // be read, EFileTooLarge when it holds more than max_bytes.
  virtual std::string ReadFile(const std::string& path, uint64_t max_bytes) = 0;
  // Creates or truncates the file (never writing through a symbolic link),
  // writes every byte and flushes it to the disk. Raises EQelError.
  virtual void WriteFile(const std::string& path, std::string_view bytes) = 0;
  // Puts `from` in the place of `to` in one step and makes that last over a
  // power loss. Raises EQelError.
  virtual void RenameFile(const std::string& from, const std::string& to) = 0;
  // True when the file is gone afterwards.
  virtual bool RemoveFile(const std::string& path) = 0;
};

// The operating system's file system.
TFileSystem& DefaultFileSystem();

}  // namespace qel
