#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "host/NPFuncs.h"
#include "host/npqelgame.h"

namespace qel {
namespace {

// A browser table of any claimed size, every entry a recognisable non-null
// value, inside a buffer larger than any table the library copies.
class BrowserTable {
 public:
  explicit BrowserTable(uint16_t size, uint16_t version = NP_VERSION_MINOR)
      : Bytes_(1024, 0) {
    for (size_t i = 0; i < Bytes_.size(); ++i) Bytes_[i] = static_cast<char>(0x40 + i % 32);
    auto* table = Table();
    table->size = size;
    table->version = version;
  }
  NPNetscapeFuncs* Table() { return reinterpret_cast<NPNetscapeFuncs*>(Bytes_.data()); }
  const char* Bytes() const { return Bytes_.data(); }

 private:
  std::vector<char> Bytes_;
};

class EntryPoints : public ::testing::Test {
 protected:
  // Leave an empty browser table behind so no later call jumps through junk.
  void TearDown() override {
    NPNetscapeFuncs empty{};
    empty.size = sizeof empty;
    ASSERT_EQ(NP_Initialize(&empty, nullptr), NPERR_NO_ERROR);
  }
};

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
  EXPECT_EQ(NP_Initialize(nullptr, nullptr), NPERR_INVALID_FUNCTABLE_ERROR);
  BrowserTable short_table(kTableLimits.BrowserMin - 1);
  EXPECT_EQ(NP_Initialize(short_table.Table(), nullptr), NPERR_INVALID_FUNCTABLE_ERROR);
  BrowserTable least(kTableLimits.BrowserMin);
  EXPECT_EQ(NP_Initialize(least.Table(), nullptr), NPERR_NO_ERROR);
}

TEST_F(EntryPoints, BrowserTableOfAnotherMajorVersionIsRefused) {
  BrowserTable table(kTableLimits.BrowserMax, 0x0100);
  EXPECT_EQ(NP_Initialize(table.Table(), nullptr), NPERR_INCOMPATIBLE_VERSION_ERROR);
  BrowserTable minor(kTableLimits.BrowserMax, 0x00FF);
  EXPECT_EQ(NP_Initialize(minor.Table(), nullptr), NPERR_NO_ERROR);
}

TEST_F(EntryPoints, CopiesTheBrowserTableUpToItsSizeOrOursAndNoFurther) {
  BrowserTable least(kTableLimits.BrowserMin);
  ASSERT_EQ(NP_Initialize(least.Table(), nullptr), NPERR_NO_ERROR);
  EXPECT_EQ(std::memcmp(&BrowserFuncs(), least.Bytes(), kTableLimits.BrowserMin), 0);
  EXPECT_NE(BrowserFuncs().getauthenticationinfo, nullptr);
  EXPECT_EQ(BrowserFuncs().scheduletimer, nullptr);  // beyond the browser's table
  EXPECT_EQ(BrowserFuncs().urlredirectresponse, nullptr);

  BrowserTable large(600);
  ASSERT_EQ(NP_Initialize(large.Table(), nullptr), NPERR_NO_ERROR);
  EXPECT_EQ(std::memcmp(&BrowserFuncs(), large.Bytes(), sizeof(NPNetscapeFuncs)), 0);
  EXPECT_NE(BrowserFuncs().urlredirectresponse, nullptr);
}

struct PluginTable {
  explicit PluginTable(uint16_t size) {
    std::memset(&Funcs, 0xEE, sizeof Funcs);
    Funcs.size = size;
  }
  NPPluginFuncs Funcs;
};

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
