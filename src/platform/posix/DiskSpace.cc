#include "platform/DiskSpace.h"

#include <sys/statvfs.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "platform/posix/MountTable.h"

namespace qel {
namespace {

constexpr std::string_view kBlockDevicePrefix = "/dev/";

bool IsOctalDigit(char c) { return c >= '0' && c <= '7'; }

// Mount tables write a space, tab, newline and backslash in a name as a
// backslash and three octal digits.
std::string UnescapeMountField(std::string_view field) {
  std::string text;
  text.reserve(field.size());
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size() && IsOctalDigit(field[i + 1]) &&
        IsOctalDigit(field[i + 2]) && IsOctalDigit(field[i + 3])) {
      text.push_back(static_cast<char>(((field[i + 1] - '0') << 6) | ((field[i + 2] - '0') << 3) |
                                       (field[i + 3] - '0')));
      i += 3;
    } else {
      text.push_back(field[i]);
    }
  }
  return text;
}

std::vector<std::string_view> SplitFields(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t start = 0;
  while (start < line.size()) {
    const size_t begin = line.find_first_not_of(" \t", start);
    if (begin == std::string_view::npos) break;
    const size_t end = std::min(line.find_first_of(" \t", begin), line.size());
    fields.push_back(line.substr(begin, end - begin));
    start = end;
  }
  return fields;
}

bool MountedReadOnly(std::string_view options) {
  while (!options.empty()) {
    const size_t comma = options.find(',');
    if (options.substr(0, comma) == "ro") return true;
    if (comma == std::string_view::npos) break;
    options.remove_prefix(comma + 1);
  }
  return false;
}

}  // namespace

std::optional<uint64_t> BytesAvailableToCaller(const std::string& folder) {
  struct statvfs info {};
  if (statvfs(folder.c_str(), &info) != 0) return std::nullopt;
  // Some file systems leave the fragment size zero; the block size is then the unit.
  const uint64_t unit = info.f_frsize != 0 ? info.f_frsize : info.f_bsize;
  return static_cast<uint64_t>(info.f_bavail) * unit;
}

std::vector<std::string> FallbackInstallRootsFrom(std::string_view mount_table) {
  std::vector<std::string> roots;
  while (!mount_table.empty() && roots.size() < kMaxFallbackRoots) {
    const size_t newline = mount_table.find('\n');
    const std::string_view line = mount_table.substr(0, newline);
    mount_table.remove_prefix(newline == std::string_view::npos ? mount_table.size() : newline + 1);

    // device, mount point, type, options, ...
    const std::vector<std::string_view> fields = SplitFields(line);
    if (fields.size() < 4) continue;
    if (!fields[0].starts_with(kBlockDevicePrefix)) continue;
    if (MountedReadOnly(fields[3])) continue;
    std::string root = UnescapeMountField(fields[1]);
    if (root.empty() || root == "/") continue;
    if (!root.ends_with('/')) root.push_back('/');
    if (std::find(roots.begin(), roots.end(), root) != roots.end()) continue;
    roots.push_back(std::move(root));
  }
  return roots;
}

std::vector<std::string> FallbackInstallRoots() {
  std::ifstream table("/proc/self/mounts", std::ios::binary);
  if (!table) return {};
  const std::string text((std::istreambuf_iterator<char>(table)), std::istreambuf_iterator<char>());
  return FallbackInstallRootsFrom(text);
}

}  // namespace qel
