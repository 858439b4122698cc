#include "TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace qel::test {

namespace fs = std::filesystem;

TTempFolder::TTempFolder() {
  std::random_device random;
  const fs::path base = testing::TempDir();
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path candidate = base / ("qel-test-" + std::to_string(random()));
    if (fs::create_directory(candidate)) {
      fs::permissions(candidate, fs::perms::owner_all, fs::perm_options::replace);
      Path_ = candidate.string() + "/";
      return;
    }
  }
  throw std::runtime_error("no temporary folder");
}

TTempFolder::~TTempFolder() {
  // Folders a test made read-only would keep their entries from going.
  std::error_code error;
  fs::permissions(Path_, fs::perms::owner_all, fs::perm_options::add, error);
  for (auto it = fs::recursive_directory_iterator(Path_, error);
       !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
    if (it->is_directory(error) && !it->is_symlink(error))
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, error);
  }
  fs::remove_all(Path_, error);
}

std::string FileContent(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return "<missing>";
  std::ostringstream content;
  content << file.rdbuf();
  return content.str();
}

void PutFile(const std::string& path, const std::string& content) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << content;
  if (!file) throw std::runtime_error("cannot write " + path);
}

}  // namespace qel::test
