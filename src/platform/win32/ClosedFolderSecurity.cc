#include "platform/win32/ClosedFolderSecurity.h"

#include <sddl.h>

#include <string>

#include "platform/win32/SystemError.h"
#include "platform/win32/UserSid.h"

namespace qel {

TClosedFolderSecurity::TClosedFolderSecurity() {
  // P: not inherited from the parent. OICI: what is made inside inherits it.
  // FA: full access; 0x1200a9: read, list and run (FILE_GENERIC_READ|EXECUTE).
  const std::string sddl = "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;" + CurrentUserSidText() +
                           ")(A;OICI;0x1200a9;;;BU)";
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1, &Descriptor_,
                                                              nullptr))
    RaiseSystemError("cannot build", "the security of a new folder", ::GetLastError());
  Attributes_.nLength = sizeof Attributes_;
  Attributes_.lpSecurityDescriptor = Descriptor_;
  Attributes_.bInheritHandle = FALSE;
}

TClosedFolderSecurity::~TClosedFolderSecurity() { ::LocalFree(Descriptor_); }

}  // namespace qel
