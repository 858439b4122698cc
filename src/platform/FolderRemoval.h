// Removing a game's install folder with everything in it.
#pragma once

#include <string>

namespace qel {

// Deletes every entry of the folder (which ends with a path separator), each
// subfolder with everything in it, then the folder itself. Read-only entries
// go too: a folder is first made writable and searchable by its owner (on
// Windows, a read-only attribute is cleared). A symbolic link (on Windows,
// a junction too) is removed itself; what it points to is left alone, also when
// a link takes a folder's place during the deletion. The first entry that
// cannot be deleted stops the deletion, leaving the rest. True when the
// folder itself is gone. When the path does not name a folder (missing, a
// file, or a symbolic link, even one to a folder) or names no removable
// folder ("/", "." or ".."), nothing is removed and the answer is false.
bool DeleteTree(const std::string& folder);

}  // namespace qel
