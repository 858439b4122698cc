// A fresh temporary folder (TTempFolder) named in this system's own
// notation, as the plug-in's code gets and makes folder paths: every
// separator, the last one included, is kPathDelimiter.
#pragma once

#include <algorithm>
#include <string>

#include "TempFolder.h"
#include "platform/FileSystem.h"

namespace qel::test {

// `path` with each '/' written as kPathDelimiter.
inline std::string NativePath(std::string path) {
  std::replace(path.begin(), path.end(), '/', kPathDelimiter);
  return path;
}

class TNativeTempFolder {
 public:
  TNativeTempFolder() : Path_(NativePath(Folder_.Path())) {}

  // Ends with kPathDelimiter.
  const std::string& Path() const { return Path_; }
  // `name` may use '/' between its parts.
  std::string operator/(const std::string& name) const { return Path_ + NativePath(name); }

 private:
  TTempFolder Folder_;
  std::string Path_;
};

}  // namespace qel::test
