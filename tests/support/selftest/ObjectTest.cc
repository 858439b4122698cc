// NPN_CreateObject/RetainObject/ReleaseObject, called through the table.
#include <gtest/gtest.h>

#include "FakeBrowser.h"

namespace qel::test {
namespace {

struct Counted : NPObject {
  static inline int allocations = 0;
  static inline int deallocations = 0;
};

extern "C" {
static NPObject* AllocateCounted(NPP, NPClass*) {
  ++Counted::allocations;
  return new Counted;
}
static void DeallocateCounted(NPObject* object) {
  ++Counted::deallocations;
  delete static_cast<Counted*>(object);
}
}

NPClass CountedClass() {
  NPClass c{};
  c.structVersion = NP_CLASS_STRUCT_VERSION;
  c.allocate = AllocateCounted;
  c.deallocate = DeallocateCounted;
  return c;
}

TEST(ObjectTest, DeallocateRunsExactlyOnTheLastRelease) {
  FakeBrowser browser{PluginEntry{}};
  NPNetscapeFuncs& npn = browser.BrowserFuncs();
  Counted::allocations = Counted::deallocations = 0;
  NPClass counted = CountedClass();

  NPObject* object = npn.createobject(nullptr, &counted);
  ASSERT_NE(object, nullptr);
  EXPECT_EQ(Counted::allocations, 1);
  EXPECT_EQ(object->_class, &counted);
  EXPECT_EQ(object->referenceCount, 1u);
  EXPECT_TRUE(browser.IsLive(object));

  EXPECT_EQ(npn.retainobject(object), object);
  EXPECT_EQ(browser.ReferenceCount(object), 2u);
  npn.releaseobject(object);
  EXPECT_EQ(Counted::deallocations, 0);
  EXPECT_TRUE(browser.IsLive(object));
  npn.releaseobject(object);
  EXPECT_EQ(Counted::deallocations, 1);
  EXPECT_FALSE(browser.IsLive(object));
  EXPECT_EQ(browser.LiveObjectCount(), 0u);

  // A class without allocate gets a bare object the browser frees itself.
  NPClass bare{};
  bare.structVersion = NP_CLASS_STRUCT_VERSION;
  NPObject* plain = npn.createobject(nullptr, &bare);
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ(browser.LiveObjectCount(), 1u);
  npn.releaseobject(plain);
  EXPECT_EQ(browser.LiveObjectCount(), 0u);
  browser.ExpectClean();
}

// The object's memory is gone: the browser must record the misuse without
// reading or writing it (AddressSanitizer would see that).
TEST(ObjectTest, RetainOrReleaseOfADeadObjectIsAFaultNotACrash) {
  FakeBrowser browser{PluginEntry{}};
  NPNetscapeFuncs& npn = browser.BrowserFuncs();
  Counted::deallocations = 0;
  NPClass counted = CountedClass();

  NPObject* object = npn.createobject(nullptr, &counted);
  npn.releaseobject(object);
  npn.releaseobject(object);
  npn.retainobject(object);
  EXPECT_EQ(browser.ObjectErrors(), 2);
  EXPECT_EQ(Counted::deallocations, 1);
  EXPECT_EQ(browser.ReferenceCount(object), 0u);
}

}  // namespace
}  // namespace qel::test
