// Who may change a folder on Windows: its owner and its list of rights.
#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <string>

#include "TempFolder.h"
#include "platform/FolderTrust.h"
#include "platform/win32/DaclTrust.h"
#include "platform/win32/UserSid.h"

namespace qel {
namespace {

constexpr char kUser[] = "S-1-5-21-1-2-3-1001";
constexpr char kOtherUser[] = "S-1-5-21-1-2-3-1002";
constexpr char kTrustedInstaller[] = "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

// The trust of a folder with the security written as SDDL, for kUser.
TFolderTrust TrustOf(const std::string& sddl) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1, &descriptor,
                                                              nullptr)) {
    ADD_FAILURE() << "bad SDDL " << sddl;
    return ftMissing;
  }
  PSID owner = nullptr;
  PACL dacl = nullptr;
  BOOL defaulted = FALSE;
  BOOL present = FALSE;
  ::GetSecurityDescriptorOwner(descriptor, &owner, &defaulted);
  ::GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted);
  PSID user = nullptr;
  ::ConvertStringSidToSidA(kUser, &user);
  const TFolderTrust trust = TrustOfSecurity(owner, present ? dacl : nullptr, user);
  ::LocalFree(user);
  ::LocalFree(descriptor);
  return trust;
}

// No list of rights at all, owned by the user.
TFolderTrust TrustOfNullDacl() {
  PSID user = nullptr;
  ::ConvertStringSidToSidA(kUser, &user);
  const TFolderTrust trust = TrustOfSecurity(user, nullptr, user);
  ::LocalFree(user);
  return trust;
}

const std::string kOwnDacl = std::string("D:(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;") + kUser + ")";

TEST(DaclTrustTest, OnlyTheUserTheSystemAndTheAdministratorsMayChangeAFolderOfTheUsersAlone) {
  const std::string owner = std::string("O:") + kUser;
  EXPECT_EQ(TrustOf(owner + kOwnDacl), ftUsersAlone);
  // Others may read, list and run.
  EXPECT_EQ(TrustOf(owner + kOwnDacl + "(A;OICI;0x1200a9;;;BU)(A;OICI;GRGX;;;WD)"), ftUsersAlone);
  // Whatever trusted accounts may do, and rights only passed on to entries made later.
  EXPECT_EQ(TrustOf(owner + kOwnDacl + "(A;;FA;;;" + kTrustedInstaller + ")(A;OICIIO;FA;;;AU)(A;OICIIO;GA;;;CO)"),
            ftUsersAlone);
  // The system's folders belong to the Administrators or TrustedInstaller.
  EXPECT_EQ(TrustOf("O:BA" + kOwnDacl), ftUsersAlone);
  EXPECT_EQ(TrustOf(std::string("O:") + kTrustedInstaller + kOwnDacl), ftUsersAlone);
  EXPECT_EQ(TrustOf("O:SY" + kOwnDacl), ftUsersAlone);
}

TEST(DaclTrustTest, AnyRightOfOthersToChangeTheFolderOrItsEntriesMakesItOpen) {
  const std::string owner = std::string("O:") + kUser;
  // Write as a whole, deletion of entries or of the folder, rights, owner, attributes.
  for (const char* right : {"GW", "GA", "FA", "FW", "0x40", "SD", "WD", "WO", "0x100", "0x10"})
    EXPECT_EQ(TrustOf(owner + kOwnDacl + "(A;;" + right + ";;;BU)"), ftOpen) << right;
  // For another account, a group or everyone alike.
  for (const std::string& trustee : {std::string(kOtherUser), std::string("AU"), std::string("WD")})
    EXPECT_EQ(TrustOf(owner + kOwnDacl + "(A;OICI;0x1301bf;;;" + trustee + ")"), ftOpen) << trustee;
  // A denial is not relied on to take back what is allowed.
  EXPECT_EQ(TrustOf(owner + kOwnDacl + "(D;;FA;;;WD)(A;;FA;;;WD)"), ftOpen);
  // No list at all lets everyone in.
  EXPECT_EQ(TrustOfNullDacl(), ftOpen);
  // Another owner may change the rights whenever it likes.
  EXPECT_EQ(TrustOf(std::string("O:") + kOtherUser + kOwnDacl), ftOpen);
  EXPECT_EQ(TrustOf("O:BU" + kOwnDacl), ftOpen);
}

TEST(DaclTrustTest, OthersMayOnlyAddEntriesToASharedFolder) {
  const std::string owner = std::string("O:") + kUser;
  EXPECT_EQ(TrustOf(owner + kOwnDacl + "(A;;0x4;;;AU)"), ftStickyShared);
  EXPECT_EQ(TrustOf(owner + kOwnDacl + "(A;;0x2;;;BU)(A;;0x1200a9;;;BU)"), ftStickyShared);
  // The root of a Windows 10 system drive.
  EXPECT_EQ(TrustOf("O:S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464"
                    "D:PAI(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)(A;OICIIO;SDGXGWGR;;;AU)"
                    "(A;;LC;;;AU)"),
            ftStickyShared);
}

TEST(FolderTrustWin32Test, JudgesWhatIsThereItself) {
  test::TTempFolder base;
  const std::string folder = base / "f";
  EXPECT_EQ(TrustOfFolder(folder), ftMissing);
  EXPECT_EQ(TrustOfFolder(base / "missing\\deeper"), ftMissing);
  ASSERT_TRUE(::CreateDirectoryA(folder.c_str(), nullptr));
  EXPECT_EQ(TrustOfFolder(folder), ftUsersAlone);
  EXPECT_EQ(TrustOfFolder(folder + "\\"), ftUsersAlone);
  test::PutFile(base / "file", "");
  EXPECT_EQ(TrustOfFolder(base / "file"), ftOpen);
  EXPECT_EQ(TrustOfFolder(base / "file\\"), ftOpen);
  EXPECT_NE(TrustOfFolder("C:\\"), ftMissing);

  // Everyone may do anything: a list the test writes itself.
  const std::string everyone = "D:P(A;OICI;FA;;;WD)(A;OICI;FA;;;" + CurrentUserSidText() + ")";
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorA(everyone.c_str(), SDDL_REVISION_1,
                                                                     &descriptor, nullptr));
  BOOL present = FALSE;
  BOOL defaulted = FALSE;
  PACL dacl = nullptr;
  ::GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted);
  const DWORD set = ::SetNamedSecurityInfoA(const_cast<char*>(folder.c_str()), SE_FILE_OBJECT,
                                            DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                                            nullptr, nullptr, dacl, nullptr);
  ::LocalFree(descriptor);
  ASSERT_EQ(set, static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(TrustOfFolder(folder), ftOpen);
}

}  // namespace
}  // namespace qel
