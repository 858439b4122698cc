// State files that are never seen half written: the new content goes to a
// file beside the old one, which is then renamed over it. A crash or a full
// disk at any point leaves either the old content or the new, whole.
#pragma once

#include <string>
#include <string_view>

#include "platform/FileSystem.h"

namespace qel {

// The file beside `path` that holds the new content until the rename.
std::string PendingFileName(const std::string& path);

// Raises EQelError when the content could not be put in place; the old file
// is then unchanged and no pending file is left behind (as far as it can be
// deleted).
void WriteFileAtomically(TFileSystem& files, const std::string& path, std::string_view bytes);

}  // namespace qel
