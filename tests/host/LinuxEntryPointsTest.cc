// The exports in the form Linux browsers use: NP_Initialize fills the
// plug-in's table too, and the library describes itself through
// NP_GetMIMEDescription and NP_GetValue instead of version information.
#include <gtest/gtest.h>

#include <string>

#include "EntryPointTables.h"
#include "host/NPFuncs.h"
#include "host/npqelgame.h"

namespace qel {
namespace {

TEST_F(EntryPoints, InitializeFillsThePluginTableOnlyWhenTheBrowserTableIsAccepted) {
  BrowserTable refused(kTableLimits.BrowserMin - 1);
  PluginTable untouched(kTableLimits.PluginMax);
  EXPECT_EQ(NP_Initialize(refused.Table(), &untouched.Funcs), NPERR_INVALID_FUNCTABLE_ERROR);
  EXPECT_EQ(untouched.Funcs.version, 0xEEEE);

  BrowserTable accepted(kTableLimits.BrowserMax);
  PluginTable filled(kTableLimits.PluginMax);
  EXPECT_EQ(NP_Initialize(accepted.Table(), &filled.Funcs), NPERR_NO_ERROR);
  EXPECT_EQ(filled.Funcs.version, 27);

  PluginTable wrong_size(kTableLimits.PluginMin - 1);
  EXPECT_EQ(NP_Initialize(accepted.Table(), &wrong_size.Funcs), NPERR_INVALID_FUNCTABLE_ERROR);
}

TEST(Exports, DescribeTheLibraryToLinuxHosts) {
  ASSERT_NE(NP_GetMIMEDescriptionFunc(), nullptr);
  EXPECT_STREQ(NP_GetMIMEDescriptionFunc(), "");
  EXPECT_EQ(std::string(NP_GetMIMEDescription()).rfind("application/qellauncher::", 0), 0u);
  EXPECT_EQ(NP_Shutdown(), NPERR_NO_ERROR);

  const char* text = nullptr;
  ASSERT_EQ(NP_GetValue(nullptr, NPPVpluginNameString, &text), NPERR_NO_ERROR);
  EXPECT_STRNE(text, "");
  ASSERT_EQ(NP_GetValue(nullptr, NPPVpluginDescriptionString, &text), NPERR_NO_ERROR);
  EXPECT_STRNE(text, "");
  EXPECT_NE(NP_GetValue(nullptr, NPPVpluginWindowBool, &text), NPERR_NO_ERROR);
  EXPECT_NE(NP_GetValue(nullptr, NPPVpluginNameString, nullptr), NPERR_NO_ERROR);
}

}  // namespace
}  // namespace qel
