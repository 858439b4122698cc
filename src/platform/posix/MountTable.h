// The Linux choice of fallback install roots, from the text of a mount table
// (the format of /proc/self/mounts), so that tests can hand it any table.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qel {

// The mount points of the local file systems on block devices ("/dev/"
// devices, loop devices included) that are mounted for writing, in the
// table's order, each once, at most kMaxFallbackRoots, the root file system
// excluded; each ends with '/'.
std::vector<std::string> FallbackInstallRootsFrom(std::string_view mount_table);

}  // namespace qel
