// Who may change a folder, judged from its owner and its list of rights.
#pragma once

#include <windows.h>

#include "platform/FolderTrust.h"

namespace qel {

// The trust of a real folder (not a link) of `owner` with `dacl` (null: a
// null list, which lets everyone do anything), for the process's `user`.
// Trusted are the user, SYSTEM, the Administrators and TrustedInstaller; a
// folder owned by anyone else is ftOpen, since its owner may change its
// rights. Any other account that may write to the folder, delete it or its
// entries, or change its owner or rights makes it ftOpen; one that may only
// add entries (the root of a system drive lets every user make folders)
// makes it ftStickyShared: whoever makes an entry owns it, and others have
// no right over it. Rights that only pass on to entries made later
// (inherit-only) do not count for the folder, and denials are not relied
// on: a right allowed counts even if a denial may come before it.
TFolderTrust TrustOfSecurity(PSID owner, PACL dacl, PSID user);

}  // namespace qel
