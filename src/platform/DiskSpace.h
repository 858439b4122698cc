// Free space for new installs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qel {

// Bytes the calling user may still write on the file system that holds the
// folder; nothing when the folder cannot be asked about.
std::optional<uint64_t> BytesAvailableToCaller(const std::string& folder);

// The most roots that are tried for a new install.
inline constexpr size_t kMaxFallbackRoots = 12;

// Where a new install may go when the plug-in's own folder lacks the space:
// the mount points of the other local file systems on block devices ("/dev/"
// devices, loop devices included) that are mounted for writing, in the mount
// table's order, each mount point once, at most kMaxFallbackRoots, the root
// file system excluded. Each ends with a path separator. Nothing when the
// mount table cannot be read.
std::vector<std::string> FallbackInstallRoots();
// The same, from the text of a mount table (the format of /proc/self/mounts).
std::vector<std::string> FallbackInstallRootsFrom(std::string_view mount_table);

}  // namespace qel
