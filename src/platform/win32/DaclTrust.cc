#include "platform/win32/DaclTrust.h"

#include <initializer_list>

namespace qel {
namespace {

// What lets an account change the folder or take it over: writing its
// attributes, deleting it or its entries, changing its rights or owner.
constexpr ACCESS_MASK kChangeRights = FILE_WRITE_ATTRIBUTES | FILE_WRITE_EA | FILE_DELETE_CHILD | DELETE |
                                      WRITE_DAC | WRITE_OWNER;
// Making a file or a folder in it, which the maker then owns.
constexpr ACCESS_MASK kAddRights = FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY;

bool IsWellKnown(PSID sid, WELL_KNOWN_SID_TYPE type) { return ::IsWellKnownSid(sid, type) != 0; }

// NT SERVICE\TrustedInstaller, which owns the system's own folders.
bool IsTrustedInstaller(PSID sid) {
  static const DWORD kSubAuthorities[] = {80, 956008885, 3418522649, 1831038044, 1853292631, 2271478464};
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  const auto* identifier = ::GetSidIdentifierAuthority(sid);
  if (*::GetSidSubAuthorityCount(sid) != std::size(kSubAuthorities)) return false;
  for (int i = 0; i < 6; ++i)
    if (identifier->Value[i] != nt.Value[i]) return false;
  for (DWORD i = 0; i < std::size(kSubAuthorities); ++i)
    if (*::GetSidSubAuthority(sid, i) != kSubAuthorities[i]) return false;
  return true;
}

bool IsTrusted(PSID sid, PSID user) {
  return ::EqualSid(sid, user) || IsWellKnown(sid, WinLocalSystemSid) ||
         IsWellKnown(sid, WinBuiltinAdministratorsSid) || IsTrustedInstaller(sid);
}

ACCESS_MASK FileRights(ACCESS_MASK mask) {
  GENERIC_MAPPING mapping{FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE, FILE_ALL_ACCESS};
  ::MapGenericMask(&mask, &mapping);
  return mask;
}

}  // namespace

TFolderTrust TrustOfSecurity(PSID owner, PACL dacl, PSID user) {
  if (owner == nullptr || !::IsValidSid(owner) || !IsTrusted(owner, user)) return ftOpen;
  if (dacl == nullptr) return ftOpen;
  bool others_add = false;
  for (DWORD index = 0; index < dacl->AceCount; ++index) {
    void* raw = nullptr;
    if (!::GetAce(dacl, index, &raw)) return ftOpen;
    const auto* header = static_cast<const ACE_HEADER*>(raw);
    if ((header->AceFlags & INHERIT_ONLY_ACE) != 0) continue;
    if (header->AceType == ACCESS_DENIED_ACE_TYPE || header->AceType == ACCESS_DENIED_OBJECT_ACE_TYPE ||
        header->AceType == ACCESS_DENIED_CALLBACK_ACE_TYPE ||
        header->AceType == ACCESS_DENIED_CALLBACK_OBJECT_ACE_TYPE || header->AceType == SYSTEM_AUDIT_ACE_TYPE)
      continue;
    // Any other kind of entry that grants rights is judged as granting
    // them to anyone, unless it is the plain kind whose trustee is known.
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) return ftOpen;
    const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(raw);
    PSID trustee = const_cast<DWORD*>(&allowed->SidStart);
    if (IsTrusted(trustee, user) || IsWellKnown(trustee, WinCreatorOwnerRightsSid)) continue;
    const ACCESS_MASK rights = FileRights(allowed->Mask);
    if ((rights & kChangeRights) != 0) return ftOpen;
    if ((rights & kAddRights) != 0) others_add = true;
  }
  return others_add ? ftStickyShared : ftUsersAlone;
}

}  // namespace qel
