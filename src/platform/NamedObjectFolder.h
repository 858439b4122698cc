// Where the named mutexes and semaphores of this user live.
#pragma once

#include <string>

namespace qel {

// Test seam: keep the named objects in this folder (which must be the
// user's own and closed to others) instead of the user's runtime folder, so
// that tests and their helper processes share objects no one else sees.
// Empty restores the runtime folder.
void SetNamedObjectFolderForTesting(const std::string& folder);

}  // namespace qel
