// NPN identifier services, called through the table as the plug-in does.
#include <gtest/gtest.h>

#include <cstring>

#include "FakeBrowser.h"

namespace qel::test {
namespace {

TEST(IdentifierTest, StringIdentifiersAreInternedAndGiveBackTheirText) {
  FakeBrowser browser{PluginEntry{}};
  NPNetscapeFuncs& npn = browser.BrowserFuncs();

  NPIdentifier launch = npn.getstringidentifier("launch");
  EXPECT_EQ(npn.getstringidentifier("launch"), launch);
  EXPECT_NE(npn.getstringidentifier("Launch"), launch);
  EXPECT_EQ(browser.Identifier("launch"), launch);
  EXPECT_TRUE(npn.identifierisstring(launch));

  const NPUTF8* names[] = {"status", "launch"};
  NPIdentifier ids[2] = {};
  npn.getstringidentifiers(names, 2, ids);
  EXPECT_EQ(ids[0], npn.getstringidentifier("status"));
  EXPECT_EQ(ids[1], launch);

  NPUTF8* text = npn.utf8fromidentifier(launch);
  ASSERT_NE(text, nullptr);
  EXPECT_STREQ(text, "launch");
  EXPECT_EQ(browser.LiveBlocks(), 1u);  // the caller's copy, freed with NPN_MemFree
  npn.memfree(text);
  browser.ExpectClean();
}

TEST(IdentifierTest, IntegerIdentifiersAreInternedAndAreNotStrings) {
  FakeBrowser browser{PluginEntry{}};
  NPNetscapeFuncs& npn = browser.BrowserFuncs();

  NPIdentifier seven = npn.getintidentifier(7);
  EXPECT_EQ(npn.getintidentifier(7), seven);
  EXPECT_NE(npn.getintidentifier(8), seven);
  EXPECT_NE(npn.getstringidentifier("7"), seven);
  EXPECT_FALSE(npn.identifierisstring(seven));
  EXPECT_EQ(npn.intfromidentifier(seven), 7);
  EXPECT_EQ(npn.intfromidentifier(npn.getintidentifier(-3)), -3);
  EXPECT_EQ(npn.utf8fromidentifier(seven), nullptr);
  EXPECT_EQ(browser.LiveBlocks(), 0u);
  browser.ExpectClean();
}

// A plug-in that keeps identifiers across NP_Shutdown/NP_Initialize (in
// statics) uses them in a browser that never handed them out.
TEST(IdentifierTest, IdentifierFromAnEarlierBrowserIsAFault) {
  NPIdentifier kept = nullptr;
  {
    FakeBrowser earlier{PluginEntry{}};
    kept = earlier.BrowserFuncs().getstringidentifier("launch");
  }
  FakeBrowser browser{PluginEntry{}};
  NPNetscapeFuncs& npn = browser.BrowserFuncs();
  npn.getstringidentifier("launch");
  EXPECT_EQ(npn.utf8fromidentifier(kept), nullptr);
  EXPECT_EQ(browser.IdentifierErrors(), 1);
}

}  // namespace
}  // namespace qel::test
