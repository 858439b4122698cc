// Writing an unpacked folder tree below a folder the caller chose: folders
// made one level at a time, files created for writing. Nothing in the tree
// is ever written through a symbolic link. Failures raise EQelError.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace qel {

#if defined(_WIN32)
inline constexpr char kTreePathSeparator = '\\';
#else
inline constexpr char kTreePathSeparator = '/';
#endif

// Makes the folder (one level) unless something that leads to a folder is
// there already; a link at the path is followed, as the caller chose it.
void MakeFolderIfMissing(const std::string& path);

// Makes the folder (one level) unless a real folder is there already; a
// symbolic link or anything else that is not a folder fails.
void MakeTreeFolder(const std::string& path);

// A regular file opened for writing, closed on destruction.
class TTreeFile {
 public:
  // Creates the file or empties an existing regular file. A symbolic link
  // at the path is never followed, and a folder, pipe or device fails.
  static std::unique_ptr<TTreeFile> Create(const std::string& path);
  ~TTreeFile();
  TTreeFile(const TTreeFile&) = delete;
  TTreeFile& operator=(const TTreeFile&) = delete;

  void Write(std::span<const uint8_t> bytes);
  // Closes now, so that a failure to close is seen.
  void Close();

 private:
  TTreeFile(intptr_t handle, std::string path);

  intptr_t Handle_;
  std::string Path_;
};

}  // namespace qel
