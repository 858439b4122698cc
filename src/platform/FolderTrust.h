// Who may change what a folder holds. Code is loaded and run from a game's
// folder, so another account of the machine must not be able to put files
// there, nor move the folder away and put its own in its place.
#pragma once

#include <cstdint>
#include <string>

namespace qel {

enum TFolderTrust : uint8_t {
  ftMissing,        // nothing there
  ftUsersAlone,     // a folder of the user or of the administrator, closed to
                    // writes by group and others
  ftStickyShared,   // such a folder that others may add entries to, but whose
                    // sticky bit keeps them from moving or removing ours
  ftOpen,           // anything else: others can change it, or no folder
};

// On Windows the folder's owner and its list of rights tell the same: the
// trusted accounts are the user, SYSTEM, the Administrators and
// TrustedInstaller, and others that may only add entries (as on the root of
// a system drive) make ftStickyShared, since whoever makes an entry owns it.
// The folder itself is judged, not what a link in its place leads to (a
// link, or a junction, is ftOpen). A root of the file system's tree of mounts may be a link
// the administrator made; callers that accept one resolve it first.
TFolderTrust TrustOfFolder(const std::string& path);

}  // namespace qel
