// Writing an unpacked folder tree below a folder the caller chose: folders
// made one level at a time, files created for writing. Whatever stands where
// a folder or file of the tree goes and is of another kind (a file or folder
// tree, a symbolic link, a pipe, a socket or a device) is removed, never
// followed, and made anew, so nothing in the tree is ever written through a
// symbolic link. Failures raise EQelError.
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

// Makes the folder (one level) unless a real folder is there already.
// Anything else at the path, a link to a folder included, is removed first.
void MakeTreeFolder(const std::string& path);

// A regular file opened for writing, closed on destruction.
class TTreeFile {
 public:
  // Creates the file, or empties an existing regular file that has no other
  // name. Anything else at the path is removed first: a folder with all it
  // holds (links inside it removed as links), a link without touching its
  // target, a pipe without ever opening it, and a file with other names
  // (hard links) so that what they name is left unchanged.
  static std::unique_ptr<TTreeFile> Create(const std::string& path);
  ~TTreeFile();
  TTreeFile(const TTreeFile&) = delete;
  TTreeFile& operator=(const TTreeFile&) = delete;

  void Write(std::span<const uint8_t> bytes);
  // Closes now, so that a failure to close is seen.
  void Close();

  const std::string& Path() const { return Path_; }
  // The system's handle of the open file, for the platform's own facilities.
  intptr_t Handle() const { return Handle_; }

 private:
  TTreeFile(intptr_t handle, std::string path);

  intptr_t Handle_;
  std::string Path_;
};

}  // namespace qel
