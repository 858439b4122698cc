// The page model as the plug-in reaches it: NPN_GetValue for the window and
// the element, and the page objects' properties and methods through NPN_*.
#include <gtest/gtest.h>

#include "FakeBrowser.h"
#include "MiniInstanceTest.h"
#include "MiniPlugin.h"
#include "ScopedVariant.h"

namespace qel::test {
namespace {

struct Watched : NPObject {
  static inline int deallocations = 0;
};

extern "C" {
static NPObject* AllocateWatched(NPP, NPClass*) { return new Watched; }
static void DeallocateWatched(NPObject* object) {
  ++Watched::deallocations;
  delete static_cast<Watched*>(object);
}
}

class PageTest : public MiniInstanceTest {
 protected:
  NPObject* Window() {
    NPObject* window = nullptr;
    EXPECT_EQ(npn.getvalue(instance->Npp(), NPNVWindowNPObject, &window), NPERR_NO_ERROR);
    return window;
  }
};

TEST_F(PageTest, GetValueAnswersPageObjectsRetainedForTheCaller) {
  NPP npp = instance->Npp();
  NPObject* window = Window();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window, &browser.Page().Window());
  EXPECT_EQ(browser.ReferenceCount(window), 2u);  // the page's and the caller's
  npn.releaseobject(window);
  EXPECT_EQ(browser.ReferenceCount(window), 1u);

  NPObject* element = nullptr;
  ASSERT_EQ(npn.getvalue(npp, NPNVPluginElementNPObject, &element), NPERR_NO_ERROR);
  EXPECT_NE(element, window);
  npn.releaseobject(element);

  browser.Page().FailWindowObject(NPERR_OUT_OF_MEMORY_ERROR);
  NPObject* none = nullptr;
  EXPECT_EQ(npn.getvalue(npp, NPNVWindowNPObject, &none), NPERR_OUT_OF_MEMORY_ERROR);
  EXPECT_EQ(none, nullptr);

  NPBool xembed = 0;
  EXPECT_EQ(npn.getvalue(npp, NPNVSupportsXEmbedBool, &xembed), NPERR_GENERIC_ERROR);
  browser.Answers().AnswerBool(NPNVSupportsXEmbedBool, true);
  EXPECT_EQ(npn.getvalue(npp, NPNVSupportsXEmbedBool, &xembed), NPERR_NO_ERROR);
  EXPECT_EQ(xembed, 1);

  EXPECT_EQ(npn.getvalue(nullptr, NPNVWindowNPObject, &none), NPERR_INVALID_INSTANCE_ERROR);
  EXPECT_EQ(browser.InstanceErrors(), 1);
}

TEST_F(PageTest, PropertiesKeepTheirValuesAndClosingThePageReleasesThem) {
  NPP npp = instance->Npp();
  NPObject* window = Window();
  Watched::deallocations = 0;
  NPClass watchedClass{};
  watchedClass.structVersion = NP_CLASS_STRUCT_VERSION;
  watchedClass.allocate = AllocateWatched;
  watchedClass.deallocate = DeallocateWatched;

  // The plug-in hangs its object on the window and lets go of it.
  NPObject* game = npn.createobject(npp, &watchedClass);
  NPVariant gameValue{};
  gameValue.type = NPVariantType_Object;
  gameValue.value.objectValue = game;
  ASSERT_TRUE(npn.setproperty(npp, window, npn.getstringidentifier("game"), &gameValue));
  EXPECT_EQ(browser.ReferenceCount(game), 2u);
  npn.releaseobject(game);

  {
    ScopedVariant status(browser, browser.StringVariant("ready"));
    ASSERT_TRUE(npn.setproperty(npp, window, npn.getstringidentifier("status"), &status.get()));
    EXPECT_EQ(browser.Page().Window().Text("status"), "ready");

    ScopedVariant read(browser);
    ASSERT_TRUE(npn.getproperty(npp, window, npn.getstringidentifier("status"), read.out()));
    EXPECT_EQ(read.Text(), "ready");
    EXPECT_FALSE(npn.getproperty(npp, window, npn.getstringidentifier("nothing"), read.out()));
    EXPECT_TRUE(npn.removeproperty(npp, window, npn.getstringidentifier("status")));
    EXPECT_FALSE(npn.hasproperty(npp, window, npn.getstringidentifier("status")));

    // A cycle, which only closing the page can break.
    ScopedVariant self(browser, browser.ObjectVariant(window));
    browser.Page().Window().Set("self", self.get());
    EXPECT_EQ(browser.Enumerate(window), (std::vector<std::string>{"game", "self"}));
  }
  npn.releaseobject(window);

  EXPECT_EQ(Watched::deallocations, 0);
  instance.reset();
  browser.ExpectClean();  // closes the page
  EXPECT_EQ(Watched::deallocations, 1);
  EXPECT_FALSE(browser.IsLive(window));
}

TEST_F(PageTest, PageMethodsAnswerThePluginsInvoke) {
  std::vector<std::string> alerts;
  browser.Page().Window().DefineMethod(
      "alert", [&alerts](const NPVariant* args, uint32_t argCount, NPVariant* result) {
        if (argCount != 1) return false;
        alerts.push_back(FakeBrowser::VariantText(args[0]));
        *result = FakeBrowser::BoolVariant(true);
        return true;
      });
  NPP npp = instance->Npp();
  NPObject* window = Window();
  NPIdentifier alert = npn.getstringidentifier("alert");
  EXPECT_TRUE(npn.hasmethod(npp, window, alert));

  ScopedVariant text(browser, browser.StringVariant("update ready"));
  ScopedVariant result(browser);
  ASSERT_TRUE(npn.invoke(npp, window, alert, &text.get(), 1, result.out()));
  EXPECT_EQ(result.Text(), "true");
  EXPECT_FALSE(npn.invoke(npp, window, alert, nullptr, 0, result.out()));
  EXPECT_FALSE(
      npn.invoke(npp, window, npn.getstringidentifier("confirm"), nullptr, 0, result.out()));
  EXPECT_EQ(alerts, std::vector<std::string>{"update ready"});
  npn.releaseobject(window);
}

}  // namespace
}  // namespace qel::test
