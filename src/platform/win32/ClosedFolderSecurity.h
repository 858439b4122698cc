// The security of the folders the system makes for itself: a folder with
// its own list of rights, not the parent's inherited one, in which only the
// user, SYSTEM and the administrators may change anything and other users
// may only look (as a folder of mode 0755). A folder made directly on a
// drive's root would otherwise let every signed-in user change it.
#pragma once

#include <windows.h>

#include <memory>

namespace qel {

class TClosedFolderSecurity {
 public:
  // Raises EQelError.
  TClosedFolderSecurity();
  ~TClosedFolderSecurity();
  TClosedFolderSecurity(const TClosedFolderSecurity&) = delete;
  TClosedFolderSecurity& operator=(const TClosedFolderSecurity&) = delete;

  // For CreateDirectoryA; valid while this object lives.
  SECURITY_ATTRIBUTES* Attributes() { return &Attributes_; }

 private:
  PSECURITY_DESCRIPTOR Descriptor_ = nullptr;  // LocalAlloc'ed
  SECURITY_ATTRIBUTES Attributes_{};
};

}  // namespace qel
