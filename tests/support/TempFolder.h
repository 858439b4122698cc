// A fresh folder of the user's own (mode 0700) below the test's temporary
// folder, removed with everything in it at the end, read-only parts included.
#pragma once

#include <string>

namespace qel::test {

class TTempFolder {
 public:
  TTempFolder();
  ~TTempFolder();
  TTempFolder(const TTempFolder&) = delete;
  TTempFolder& operator=(const TTempFolder&) = delete;

  // Ends with '/'.
  const std::string& Path() const { return Path_; }
  std::string operator/(const std::string& name) const { return Path_ + name; }

 private:
  std::string Path_;
};

// The whole content of a file, or "<missing>".
std::string FileContent(const std::string& path);
void PutFile(const std::string& path, const std::string& content);

}  // namespace qel::test
