// A fresh folder below the test's temporary folder, removed with everything
// in it at the end, read-only parts included.
#pragma once

#include <string>

namespace qel::test {

class TScratchFolder {
 public:
  TScratchFolder();
  ~TScratchFolder();
  TScratchFolder(const TScratchFolder&) = delete;
  TScratchFolder& operator=(const TScratchFolder&) = delete;

  // Ends with '/'.
  const std::string& Path() const { return Path_; }
  std::string operator/(const std::string& name) const { return Path_ + name; }

 private:
  std::string Path_;
};

void WriteTextFile(const std::string& path, const std::string& text);
// The whole file, or nothing when it cannot be read.
std::string ReadTextFile(const std::string& path);

}  // namespace qel::test
