#include "platform/FolderTrust.h"

#include <windows.h>

#include <aclapi.h>

#include <vector>

#include "platform/win32/DaclTrust.h"
#include "platform/win32/FileEntry.h"
#include "platform/win32/UserSid.h"

namespace qel {

TFolderTrust TrustOfFolder(const std::string& path) {
  // A separator after a link would lead into what it points to; a drive's
  // root keeps its own ("C:\").
  std::string folder = path;
  while (folder.size() > 1 && (folder.back() == '\\' || folder.back() == '/') && folder[folder.size() - 2] != ':')
    folder.pop_back();
  const DWORD attributes = ::GetFileAttributesA(folder.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return IsMissing(::GetLastError()) ? ftMissing : ftOpen;
  if (!IsFolder(attributes) || IsReparsePoint(attributes)) return ftOpen;

  PSID owner = nullptr;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (::GetNamedSecurityInfoA(folder.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                              &owner, nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS)
    return ftOpen;
  TFolderTrust trust = ftOpen;
  try {
    std::vector<BYTE> user = CurrentUserSid();
    trust = TrustOfSecurity(owner, dacl, user.data());
  } catch (...) {
    // Whoever this process runs as cannot be told: nothing is trusted.
  }
  ::LocalFree(descriptor);
  return trust;
}

}  // namespace qel
