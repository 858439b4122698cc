// Free space for new installs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qel {

// Bytes the calling user may still write on the file system that holds the
// folder; nothing when the folder cannot be asked about.
std::optional<uint64_t> BytesAvailableToCaller(const std::string& folder);

// The most roots that are tried for a new install.
inline constexpr size_t kMaxFallbackRoots = 12;

// Where a new install may go when the plug-in's own folder lacks the space,
// in the order they are tried, at most kMaxFallbackRoots, each ending with a
// path separator: on Windows the fixed drives among D: to O:; on Linux the
// mount points of the other local file systems on block devices that are
// mounted for writing, the root file system excluded. Nothing when the
// system cannot say.
std::vector<std::string> FallbackInstallRoots();

}  // namespace qel
