// Where the named mutexes and semaphores of this user live.
#pragma once

#include <string>

namespace qel {

// Test seam: keep this process's named objects apart from everyone else's,
// in a scope tied to `folder` (the user's own, closed to others), so that
// tests and their helper processes, given the same folder, share objects
// no one else sees. On Linux the objects' files live in the folder instead
// of the user's runtime folder; on Windows, where named objects are no
// files, the objects' names are preceded by a mark made from the folder's
// path. Empty restores the real objects.
void SetNamedObjectFolderForTesting(const std::string& folder);

}  // namespace qel
