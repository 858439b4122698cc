#include "LaunchTestPlatform.h"

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <stdexcept>

namespace qel::test {

std::string ThisProgramPath() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  return length > 0 && length < MAX_PATH ? std::string(path, length) : std::string();
}

void RemoveEnvironmentVariable(const std::string& name) { SetEnvironmentVariableA(name.c_str(), nullptr); }

std::optional<std::vector<std::string>> FilesOpenIn(uint32_t, const std::string&) { return std::nullopt; }

namespace {

// The user this process runs as, as "S-1-5-...".
std::string UserSidText() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) throw std::runtime_error("no process token");
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::string buffer(size, '\0');
  const BOOL read = GetTokenInformation(token, TokenUser, buffer.data(), size, &size);
  CloseHandle(token);
  if (!read) throw std::runtime_error("no token user");
  char* text = nullptr;
  if (!ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text))
    throw std::runtime_error("no user SID text");
  const std::string sid = text;
  LocalFree(text);
  return sid;
}

// Replaces the folder's list of rights (inherited entries cut off) by the
// one `sddl` describes.
void SetFolderRights(const std::string& folder, const std::string& sddl) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr))
    throw std::runtime_error("bad rights " + sddl);
  BOOL present = FALSE;
  BOOL defaulted = FALSE;
  PACL dacl = nullptr;
  GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted);
  const DWORD set = SetNamedSecurityInfoA(const_cast<char*>(folder.c_str()), SE_FILE_OBJECT,
                                          DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                                          nullptr, dacl, nullptr);
  LocalFree(descriptor);
  if (set != ERROR_SUCCESS) throw std::runtime_error("cannot set the rights of " + folder);
}

}  // namespace

// Full access for Everyone (WD) beside the user. A folder has no owning
// group here: other accounts' rights to it are the list's entries. Not
// BUILTIN\Users: Wine keeps of a folder's list only what the Unix mode
// holds (the user's and Everyone's rights) and drops an entry for Users.
void OpenFolderToOthers(const std::string& folder) {
  SetFolderRights(folder, "D:P(A;OICI;FA;;;WD)(A;OICI;FA;;;" + UserSidText() + ")");
}

void OpenFolderToGroup(const std::string& folder) { OpenFolderToOthers(folder); }

void CloseFolderToOthers(const std::string& folder) {
  SetFolderRights(folder, "D:P(A;OICI;FA;;;" + UserSidText() + ")");
}

const char* NoNamedObjectFiles() {
  return "named objects are kernel objects: the folder only sets their names apart";
}

const char* KilledHoldersUnitsStayTaken() {
  return "a kernel semaphore counts no holders: the units a killed process took stay taken";
}

}  // namespace qel::test
