#include <gtest/gtest.h>

#include "FakeBrowser.h"
#include "RecordingPlugin.h"
#include "ScopedVariant.h"
#include "host/NPRuntime.h"
#include "host/ScriptablePluginObject.h"

namespace qel::test {
namespace {

class ScriptBridge : public ::testing::Test {
 protected:
  void SetUp() override {
    Recording() = {};
    ASSERT_EQ(browser.Initialize(), NPERR_NO_ERROR);
  }
  FakeBrowser browser;
};

TEST_F(ScriptBridge, OneObjectPerInstanceAndOneReferencePerAnswer) {
  Recording().WithScriptObject = true;
  auto instance = browser.NewInstance(kRecordingMime, {});
  ASSERT_NE(instance, nullptr);
  {
    ObjectRef first = instance->ScriptObject();
    ObjectRef second = instance->ScriptObject();
    ObjectRef third = instance->ScriptObject();
    ASSERT_TRUE(first);
    EXPECT_EQ(first.get(), second.get());
    EXPECT_EQ(first.get(), third.get());
    EXPECT_EQ(browser.ReferenceCount(first.get()), 4u);  // the instance's and three answers
    EXPECT_EQ(first.get()->_class, ScriptableClass());
    EXPECT_EQ(ScriptableClass()->structVersion, 3u);
  }
  instance.reset();
  EXPECT_EQ(Recording().ScriptObjectsAlive, 0);
  browser.ExpectClean();
}

TEST_F(ScriptBridge, ObjectOutlivesItsInstanceAndAnswersFalseAfterwards) {
  Recording().WithScriptObject = true;
  auto instance = browser.NewInstance(kRecordingMime, {});
  ObjectRef object = instance->ScriptObject();
  ASSERT_TRUE(object);
  {
    ScopedVariant value(browser);
    ASSERT_TRUE(browser.GetProperty(object.get(), "anything", value.out()));
    EXPECT_EQ(value.Text(), "5");
  }
  instance.reset();
  EXPECT_TRUE(browser.IsLive(object.get()));
  EXPECT_EQ(browser.ReferenceCount(object.get()), 1u);
  EXPECT_EQ(Recording().ScriptObjectsAlive, 1);

  ScopedVariant value(browser);
  EXPECT_FALSE(browser.HasProperty(object.get(), "anything"));
  EXPECT_FALSE(browser.GetProperty(object.get(), "anything", value.out()));
  EXPECT_FALSE(browser.SetProperty(object.get(), "anything", FakeBrowser::IntVariant(1)));

  object.reset();  // the page lets go: script object, then block
  EXPECT_EQ(Recording().ScriptObjectsAlive, 0);
  browser.ExpectClean();
}

TEST_F(ScriptBridge, ABlockWithoutScriptObjectAnswersNothing) {
  auto instance = browser.NewInstance(kRecordingMime, {});
  ObjectRef object = instance->ScriptObject();
  ASSERT_TRUE(object);
  ScopedVariant result(browser);
  const NPVariant arg = FakeBrowser::IntVariant(1);
  EXPECT_FALSE(browser.HasMethod(object.get(), "f"));
  EXPECT_FALSE(browser.Invoke(object.get(), "f", {&arg, 1}, result.out()));
  EXPECT_FALSE(browser.InvokeDefault(object.get(), {}, result.out()));
  EXPECT_FALSE(browser.HasProperty(object.get(), "p"));
  EXPECT_FALSE(browser.GetProperty(object.get(), "p", result.out()));
  EXPECT_FALSE(browser.SetProperty(object.get(), "p", arg));
  EXPECT_FALSE(browser.RemoveProperty(object.get(), "p"));
  EXPECT_FALSE(browser.Enumerate(object.get()).has_value());
  EXPECT_FALSE(browser.Construct(object.get(), {}, result.out()));
  object.reset();
  instance.reset();
  browser.ExpectClean();
}

TEST_F(ScriptBridge, AFailureInsideAnOperationEndsAsFalse) {
  Recording().WithScriptObject = true;
  auto instance = browser.NewInstance(kRecordingMime, {});
  ObjectRef object = instance->ScriptObject();
  testing::internal::CaptureStderr();
  EXPECT_FALSE(browser.HasMethod(object.get(), "boom"));
  std::string report = testing::internal::GetCapturedStderr();
  EXPECT_NE(report.find("script failure"), std::string::npos) << report;
  object.reset();
  instance.reset();
  browser.ExpectClean();
}

TEST_F(ScriptBridge, IdentifiersBecomeEightBitNames) {
  EXPECT_EQ(IdentifierToString(browser.Identifier("gameguid")), "gameguid");
  EXPECT_EQ(IdentifierToString(browser.IntIdentifier(3)), "");
  EXPECT_EQ(browser.LiveBlocks(), 0u);  // the browser's copy was given back
  browser.ExpectClean();
}

TEST_F(ScriptBridge, StringResultsAreBrowserMemoryWithoutTerminator) {
  NPVariant result{};
  SetStringResult(&result, "abc");
  ASSERT_EQ(result.type, NPVariantType_String);
  EXPECT_EQ(result.value.stringValue.UTF8Length, 3u);
  EXPECT_EQ(browser.LiveBlocks(), 1u);
  browser.ReleaseVariant(result);

  SetStringResult(&result, "");
  EXPECT_EQ(result.type, NPVariantType_String);
  EXPECT_EQ(result.value.stringValue.UTF8Characters, nullptr);
  EXPECT_EQ(result.value.stringValue.UTF8Length, 0u);
  browser.ExpectClean();
}

}  // namespace
}  // namespace qel::test
