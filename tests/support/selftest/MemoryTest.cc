// NPN_MemAlloc/MemFree accounting and NPN_ReleaseVariantValue, called through
// the table exactly as the plug-in calls them.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "FakeBrowser.h"

namespace qel::test {
namespace {

TEST(MemoryTest, DoubleFreeAndForeignFreeAreCountedAndNotFreed) {
  FakeBrowser browser{PluginEntry{}};
  NPNetscapeFuncs& npn = browser.BrowserFuncs();

  void* block = npn.memalloc(16);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(browser.LiveBlocks(), 1u);
  npn.memfree(block);
  EXPECT_EQ(browser.LiveBlocks(), 0u);
  EXPECT_EQ(browser.MemoryErrors(), 0);

  npn.memfree(block);
  EXPECT_EQ(browser.MemoryErrors(), 1);
  int onTheStack = 0;
  npn.memfree(&onTheStack);
  EXPECT_EQ(browser.MemoryErrors(), 2);

  const auto faults = browser.Faults();
  ASSERT_EQ(faults.size(), 2u);
  EXPECT_NE(faults[0].find("freed twice"), std::string::npos) << faults[0];
  EXPECT_NE(faults[1].find("not allocated with NPN_MemAlloc"), std::string::npos) << faults[1];
  EXPECT_NONFATAL_FAILURE(browser.ExpectClean(), "freed twice");
}

TEST(MemoryTest, LeakedBlockShowsUntilFreed) {
  FakeBrowser browser{PluginEntry{}};
  NPNetscapeFuncs& npn = browser.BrowserFuncs();
  void* kept = npn.memalloc(3);
  void* leaked = npn.memalloc(5);
  npn.memfree(kept);
  EXPECT_EQ(browser.LiveBlocks(), 1u);
  EXPECT_NONFATAL_FAILURE(browser.ExpectClean(),
                          "1 block(s) from NPN_MemAlloc never freed (5 bytes)");
  npn.memfree(leaked);
  browser.ExpectClean();
}

TEST(MemoryTest, ReleaseVariantValueFreesStringsAndReleasesObjects) {
  FakeBrowser browser{PluginEntry{}};
  NPNetscapeFuncs& npn = browser.BrowserFuncs();

  NPVariant text = browser.StringVariant("launch");
  EXPECT_EQ(browser.LiveBlocks(), 1u);
  npn.releasevariantvalue(&text);
  EXPECT_EQ(text.type, NPVariantType_Void);
  EXPECT_EQ(browser.LiveBlocks(), 0u);

  NPVariant empty = browser.StringVariant("");
  EXPECT_EQ(empty.value.stringValue.UTF8Characters, nullptr);
  npn.releasevariantvalue(&empty);

  NPClass bare{};
  bare.structVersion = NP_CLASS_STRUCT_VERSION;
  NPObject* object = npn.createobject(nullptr, &bare);
  NPVariant holder = browser.ObjectVariant(object);
  EXPECT_EQ(browser.ReferenceCount(object), 2u);
  npn.releasevariantvalue(&holder);
  EXPECT_EQ(holder.type, NPVariantType_Void);
  EXPECT_EQ(browser.ReferenceCount(object), 1u);
  npn.releaseobject(object);

  // Characters the browser never allocated: a plug-in that returns a
  // malloc'd string to the script engine.
  char* foreign = static_cast<char*>(std::malloc(4));
  NPVariant wrong{};
  wrong.type = NPVariantType_String;
  wrong.value.stringValue = {foreign, 4};
  npn.releasevariantvalue(&wrong);
  EXPECT_EQ(browser.MemoryErrors(), 1);
  std::free(foreign);

  EXPECT_EQ(browser.LiveBlocks(), 0u);
  EXPECT_EQ(browser.LiveObjectCount(), 0u);
}

}  // namespace
}  // namespace qel::test
