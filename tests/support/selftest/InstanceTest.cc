// The browser side of the plug-in lifecycle, driven against the mini plug-in.
#include <gtest/gtest.h>

#include "FakeBrowser.h"
#include "MiniPlugin.h"
#include "ScopedVariant.h"

namespace qel::test {
namespace {

class InstanceTest : public ::testing::Test {
 protected:
  InstanceTest() { mini::Reset(); }
  FakeBrowser browser{mini::Entry()};
};

TEST_F(InstanceTest, NewInstanceHandsTheAttributesInOrderAndDestroysOnce) {
  ASSERT_EQ(browser.Initialize(), NPERR_NO_ERROR);
  EXPECT_EQ(browser.PluginFuncs().size, sizeof(NPPluginFuncs));

  NPError error = NPERR_GENERIC_ERROR;
  auto instance = browser.NewInstance(
      mini::kMime, {{"width", "640"}, {"height", "480"}, {"src", "game.qel"}}, &error);
  ASSERT_NE(instance, nullptr);
  EXPECT_EQ(error, NPERR_NO_ERROR);
  EXPECT_EQ(mini::Seen().mime, mini::kMime);
  EXPECT_EQ(mini::Seen().mode, NP_EMBED);
  using Args = std::vector<std::pair<std::string, std::string>>;
  EXPECT_EQ(mini::Seen().arguments,
            (Args{{"width", "640"}, {"height", "480"}, {"src", "game.qel"}}));
  EXPECT_EQ(browser.LiveInstanceCount(), 1u);

  EXPECT_EQ(instance->Destroy(), NPERR_NO_ERROR);
  EXPECT_EQ(instance->Destroy(), NPERR_NO_ERROR);
  instance.reset();
  EXPECT_EQ(mini::Seen().destroyCalls, 1);
  EXPECT_EQ(browser.LiveInstanceCount(), 0u);
  browser.ExpectClean();
}

TEST_F(InstanceTest, RefusedInstanceIsNeverDestroyed) {
  ASSERT_EQ(browser.Initialize(), NPERR_NO_ERROR);
  NPError error = NPERR_NO_ERROR;
  EXPECT_EQ(browser.NewInstance("application/x-other", {}, &error), nullptr);
  EXPECT_EQ(error, NPERR_INVALID_PLUGIN_ERROR);
  EXPECT_EQ(mini::Seen().destroyCalls, 0);
  EXPECT_EQ(browser.LiveInstanceCount(), 0u);
}

TEST_F(InstanceTest, ScriptCallsReachThePluginObjectThroughItsClass) {
  ASSERT_EQ(browser.Initialize(), NPERR_NO_ERROR);
  auto instance = browser.NewInstance(mini::kMime, {});
  ASSERT_NE(instance, nullptr);
  {
    ObjectRef object = instance->ScriptObject();
    ASSERT_TRUE(object);
    EXPECT_EQ(browser.ReferenceCount(object.get()), 2u);  // the plug-in's and ours

    ScopedVariant result(browser);
    ASSERT_TRUE(browser.GetProperty(object.get(), "greeting", result.out()));
    EXPECT_EQ(result.Text(), "hello");
    EXPECT_FALSE(browser.GetProperty(object.get(), "missing", result.out()));
    EXPECT_TRUE(browser.HasProperty(object.get(), "note"));
    EXPECT_TRUE(browser.HasMethod(object.get(), "echo"));
    EXPECT_FALSE(browser.HasMethod(object.get(), "greeting"));

    ScopedVariant note(browser, browser.StringVariant("saved"));
    ASSERT_TRUE(browser.SetProperty(object.get(), "note", note.get()));
    ASSERT_TRUE(browser.GetProperty(object.get(), "note", result.out()));
    EXPECT_EQ(result.Text(), "saved");

    const NPVariant args[] = {note.get()};
    ASSERT_TRUE(browser.Invoke(object.get(), "echo", args, result.out()));
    EXPECT_EQ(result.Text(), "saved");

    // The plug-in reads the page through NPN_GetValue and NPN_GetProperty.
    ScopedVariant title(browser, browser.StringVariant("Game lobby"));
    browser.Page().Window().Set("title", title.get());
    ASSERT_TRUE(browser.Invoke(object.get(), "windowTitle", {}, result.out()));
    EXPECT_EQ(result.Text(), "Game lobby");
  }
  instance.reset();
  EXPECT_EQ(mini::Seen().objectDeallocations, 1);
  browser.ExpectClean();
}

// A browser that goes away first tears the page down as a browser does, and
// the instance a test still holds must not reach back into it.
TEST(InstanceLifetimeTest, BrowserDestroysRemainingInstancesAndShutsTheModuleDown) {
  mini::Reset();
  std::unique_ptr<FakeInstance> instance;
  {
    FakeBrowser browser(mini::Entry());
    ASSERT_EQ(browser.Initialize(), NPERR_NO_ERROR);
    instance = browser.NewInstance(mini::kMime, {});
    ASSERT_NE(instance, nullptr);
  }
  EXPECT_EQ(mini::Seen().destroyCalls, 1);
  EXPECT_EQ(mini::Seen().shutdownCalls, 1);
  EXPECT_TRUE(instance->Destroyed());
  EXPECT_EQ(instance->SetWindow(nullptr), NPERR_INVALID_INSTANCE_ERROR);
  instance.reset();
  EXPECT_EQ(mini::Seen().destroyCalls, 1);
}

}  // namespace
}  // namespace qel::test
