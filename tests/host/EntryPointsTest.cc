#include <gtest/gtest.h>

#include <cstring>

#include "EntryPointTables.h"
#include "host/NPFuncs.h"
#include "host/npqelgame.h"

namespace qel {
namespace {

TEST(TableLimits, FollowTheTableLayoutForEachPointerWidth) {
  constexpr TTableLimits x86 = TableLimitsFor(4);
  EXPECT_EQ(x86.BrowserMin, 196u);
  EXPECT_EQ(x86.BrowserMax, 224u);
  EXPECT_EQ(x86.PluginMin, 60u);
  EXPECT_EQ(x86.PluginMax, 80u);
  constexpr TTableLimits x64 = TableLimitsFor(8);
  EXPECT_EQ(x64.BrowserMin, 392u);
  EXPECT_EQ(x64.BrowserMax, 448u);
  EXPECT_EQ(x64.PluginMin, 120u);
  EXPECT_EQ(x64.PluginMax, 160u);
  // This build's own tables are laid out by the same rule.
  EXPECT_EQ(kTableLimits.BrowserMax, sizeof(NPNetscapeFuncs));
  EXPECT_EQ(kTableLimits.PluginMax, sizeof(NPPluginFuncs));
}

TEST_F(EntryPoints, BrowserTableMustReachAuthenticationInfo) {
  EXPECT_EQ(InitializeWith(nullptr), NPERR_INVALID_FUNCTABLE_ERROR);
  BrowserTable short_table(kTableLimits.BrowserMin - 1);
  EXPECT_EQ(InitializeWith(short_table.Table()), NPERR_INVALID_FUNCTABLE_ERROR);
  BrowserTable least(kTableLimits.BrowserMin);
  EXPECT_EQ(InitializeWith(least.Table()), NPERR_NO_ERROR);
}

TEST_F(EntryPoints, BrowserTableOfAnotherMajorVersionIsRefused) {
  BrowserTable table(kTableLimits.BrowserMax, 0x0100);
  EXPECT_EQ(InitializeWith(table.Table()), NPERR_INCOMPATIBLE_VERSION_ERROR);
  BrowserTable minor(kTableLimits.BrowserMax, 0x00FF);
  EXPECT_EQ(InitializeWith(minor.Table()), NPERR_NO_ERROR);
}

TEST_F(EntryPoints, CopiesTheBrowserTableUpToItsSizeOrOursAndNoFurther) {
  BrowserTable least(kTableLimits.BrowserMin);
  ASSERT_EQ(InitializeWith(least.Table()), NPERR_NO_ERROR);
  EXPECT_EQ(std::memcmp(&BrowserFuncs(), least.Bytes(), kTableLimits.BrowserMin), 0);
  EXPECT_NE(BrowserFuncs().getauthenticationinfo, nullptr);
  EXPECT_EQ(BrowserFuncs().scheduletimer, nullptr);  // beyond the browser's table
  EXPECT_EQ(BrowserFuncs().urlredirectresponse, nullptr);

  BrowserTable large(600);
  ASSERT_EQ(InitializeWith(large.Table()), NPERR_NO_ERROR);
  EXPECT_EQ(std::memcmp(&BrowserFuncs(), large.Bytes(), sizeof(NPNetscapeFuncs)), 0);
  EXPECT_NE(BrowserFuncs().urlredirectresponse, nullptr);
}


TEST_F(EntryPoints, PluginTableMustEndBetweenSetValueAndSitesWithData) {
  EXPECT_EQ(NP_GetEntryPoints(nullptr), NPERR_INVALID_FUNCTABLE_ERROR);
  PluginTable too_small(kTableLimits.PluginMin - 1);
  EXPECT_EQ(NP_GetEntryPoints(&too_small.Funcs), NPERR_INVALID_FUNCTABLE_ERROR);
  PluginTable too_large(kTableLimits.PluginMax + 1);
  EXPECT_EQ(NP_GetEntryPoints(&too_large.Funcs), NPERR_INVALID_FUNCTABLE_ERROR);
  EXPECT_EQ(too_large.Funcs.version, 0xEEEE);  // nothing written
}

TEST_F(EntryPoints, SmallestPluginTableGetsTheEntriesThroughSetValueOnly) {
  PluginTable table(kTableLimits.PluginMin);
  ASSERT_EQ(NP_GetEntryPoints(&table.Funcs), NPERR_NO_ERROR);
  EXPECT_EQ(table.Funcs.size, kTableLimits.PluginMin);  // the browser's own field
  EXPECT_EQ(table.Funcs.version, 27);
  EXPECT_NE(table.Funcs.newp, nullptr);
  EXPECT_NE(table.Funcs.setvalue, nullptr);
  EXPECT_EQ(table.Funcs.javaClass, nullptr);
  // Past the browser's table nothing is touched.
  unsigned char after[sizeof(void*)];
  std::memcpy(after, &table.Funcs.gotfocus, sizeof after);
  for (unsigned char byte : after) EXPECT_EQ(byte, 0xEE);
}

TEST_F(EntryPoints, FullPluginTableGetsAllNineteenEntries) {
  PluginTable table(kTableLimits.PluginMax);
  ASSERT_EQ(NP_GetEntryPoints(&table.Funcs), NPERR_NO_ERROR);
  EXPECT_EQ(table.Funcs.version, 27);
  EXPECT_NE(table.Funcs.gotfocus, nullptr);
  EXPECT_NE(table.Funcs.clearsitedata, nullptr);
  EXPECT_NE(table.Funcs.getsiteswithdata, nullptr);
  EXPECT_EQ(table.Funcs.writeready(nullptr, nullptr), 0x7FFFFFFF);
  EXPECT_EQ(table.Funcs.event(nullptr, nullptr), 0);
  EXPECT_TRUE(table.Funcs.gotfocus(nullptr, NPFocusNext));
  EXPECT_EQ(table.Funcs.clearsitedata("example.org", 0, 0), NPERR_NO_ERROR);
  EXPECT_EQ(table.Funcs.getsiteswithdata(), nullptr);
}

}  // namespace
}  // namespace qel
