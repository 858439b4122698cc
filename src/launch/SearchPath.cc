#include "launch/SearchPath.h"

#include <mutex>
#include <string_view>

#include "platform/FileSystem.h"
#include "platform/ProcessEnvironment.h"

namespace qel {
namespace {

constexpr size_t kMaxAdded = 2048;

std::string_view WithoutTrailingDelimiter(std::string_view folder) {
  if (folder.size() > 1 && folder.back() == kPathDelimiter) folder.remove_suffix(1);
  return folder;
}

// An entry names the folder with or without its trailing separator.
bool HasEntry(std::string_view path, std::string_view folder) {
  const std::string_view wanted = WithoutTrailingDelimiter(folder);
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find(kSearchPathSeparator, start);
    if (end == std::string_view::npos) end = path.size();
    if (WithoutTrailingDelimiter(path.substr(start, end - start)) == wanted) return true;
    start = end + 1;
  }
  return false;
}

}  // namespace

void AddToSearchPath(const std::string& folder) {
  static std::mutex lock;
  const std::lock_guard<std::mutex> hold(lock);
  const std::optional<std::string> path = ReadEnvironmentVariable("PATH");
  if (!path || path->empty()) {
    WriteEnvironmentVariable("PATH", folder);
  } else if (!HasEntry(*path, folder)) {
    const std::string added = (std::string(1, kSearchPathSeparator) + folder).substr(0, kMaxAdded);
    WriteEnvironmentVariable("PATH", *path + added);
  }
}

}  // namespace qel
