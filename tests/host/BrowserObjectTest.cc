// Page objects as the plug-in holds them: wrappers and results through the
// fake browser, with the page's reference counts checked.
#include <gtest/gtest.h>

#include "FakeBrowser.h"
#include "RecordingInstanceTest.h"
#include "RecordingPlugin.h"
#include "host/BrowserObject.h"
#include "platform/AnsiText.h"

namespace qel::test {
namespace {

class BrowserObjectTest : public RecordingInstanceTest {
 protected:
  void SetUp() override {
    SetAnsiCharsetForTesting("ISO-8859-1");
    RecordingInstanceTest::SetUp();
  }
  void TearDown() override { SetAnsiCharsetForTesting(""); }

  // A wrapper of a page object, made for this test's instance.
  std::unique_ptr<TBrowserObject> Wrap(NPObject* object) {
    return std::make_unique<TBrowserObject>(instance->Npp(), object);
  }
  FakePageObject& Window() { return browser.Page().Window(); }
};

TEST_F(BrowserObjectTest, AWrapperHoldsOneReferenceForItsLifetime) {
  const uint32_t before = browser.ReferenceCount(&Window());
  {
    auto window = Wrap(&Window());
    EXPECT_EQ(window->NPObject(), &Window());
    EXPECT_EQ(window->Instance(), instance->Npp());
    EXPECT_EQ(browser.ReferenceCount(&Window()), before + 1);
    auto again = Wrap(&Window());
    EXPECT_EQ(browser.ReferenceCount(&Window()), before + 2);
  }
  EXPECT_EQ(browser.ReferenceCount(&Window()), before);
  Done();
}

TEST_F(BrowserObjectTest, InvokeConvertsEachArgumentByItsType) {
  Window().DefineFunction("take", FakeBrowser::VoidVariant());
  auto window = Wrap(&Window());
  std::unique_ptr<INPPropRes> result = window->Invoke(
      "take", {TVariant::Integer(1), TVariant::Double(2.5), TVariant::Boolean(true),
               TVariant::AnsiText("Caf\xE9"), TVariant::WideText(u"\u20AC"), TVariant::SmallInt(-4),
               TVariant::Single(0.5f), TVariant::Int64(5), TVariant::AnsiText("")});
  ASSERT_NE(result, nullptr);
  EXPECT_EQ(result->GetKind(), pkNone);
  EXPECT_EQ(Window().CallsOf("take"),
            (std::vector<std::vector<std::string>>{{"Int32 1", "Double 2.5", "Bool true",
                                                    "String Caf\xC3\xA9", "String \xE2\x82\xAC",
                                                    "Int32 -4", "Double 0.5", "Void", "String "}}));
  // No arguments: the browser gets none at all.
  ASSERT_NE(window->Invoke("take", {}), nullptr);
  EXPECT_EQ(Window().CallsOf("take").back(), std::vector<std::string>{});
  result.reset();
  window.reset();
  Done();
}

TEST_F(BrowserObjectTest, PlainResultsBecomeValuesAndStringsWideText) {
  NPVariant text = browser.StringVariant("Gr\xC3\xBC\xC3\x9F");
  Window().DefineFunction("text", text);
  browser.ReleaseVariant(text);
  NPVariant empty = browser.StringVariant("");
  Window().DefineFunction("empty", empty);
  Window().DefineFunction("number", FakeBrowser::IntVariant(42));
  Window().DefineFunction("ratio", FakeBrowser::DoubleVariant(-1.25));
  Window().DefineFunction("flag", FakeBrowser::BoolVariant(true));
  Window().DefineFunction("nothing", FakeBrowser::VoidVariant());
  Window().DefineFunction("null", FakeBrowser::NullVariant());
  auto window = Wrap(&Window());

  auto value = [&](const char* name) {
    std::unique_ptr<INPPropRes> result = window->Invoke(name, {});
    EXPECT_NE(result, nullptr) << name;
    if (!result) return TVariant::Null();
    EXPECT_EQ(result->GetKind(), pkValue) << name;
    EXPECT_EQ(result->GetObject(), nullptr);
    return result->GetValue();
  };
  EXPECT_EQ(value("text"), TVariant::WideText(u"Gr\u00FC\u00DF"));
  EXPECT_EQ(value("empty"), TVariant::WideText(u""));
  EXPECT_EQ(value("number"), TVariant::Integer(42));
  EXPECT_EQ(value("ratio"), TVariant::Double(-1.25));
  EXPECT_EQ(value("flag"), TVariant::Boolean(true));
  for (const char* none : {"nothing", "null"}) {
    std::unique_ptr<INPPropRes> result = window->Invoke(none, {});
    ASSERT_NE(result, nullptr) << none;
    EXPECT_EQ(result->GetKind(), pkNone);
    EXPECT_TRUE(result->GetValue().IsEmpty());
  }
  window.reset();
  Done();
}

TEST_F(BrowserObjectTest, ThrowingOrMissingFunctionsGiveNoResult) {
  Window().DefineThrowingFunction("fail");
  auto window = Wrap(&Window());
  EXPECT_EQ(window->Invoke("fail", {TVariant::AnsiText("x")}), nullptr);
  EXPECT_EQ(Window().CallsOf("fail").size(), 1u);
  EXPECT_EQ(window->Invoke("absent", {}), nullptr);
  window.reset();
  Done();  // the string argument was freed, the window released
}

TEST_F(BrowserObjectTest, AnArrayResultIsReadThroughLengthAndElements) {
  ObjectRef array;
  {
    NPVariant word = browser.StringVariant("two");
    const NPVariant items[] = {FakeBrowser::IntVariant(7), word, FakeBrowser::BoolVariant(true)};
    array = browser.Page().NewArray(items);
    browser.ReleaseVariant(word);
  }
  NPVariant arrayValue = browser.ObjectVariant(array.get());
  Window().DefineFunction("list", arrayValue);
  browser.ReleaseVariant(arrayValue);
  const uint32_t before = browser.ReferenceCount(array.get());
  auto window = Wrap(&Window());
  {
    std::unique_ptr<INPPropRes> result = window->Invoke("list", {});
    ASSERT_NE(result, nullptr);
    ASSERT_EQ(result->GetKind(), pkObject);
    TBrowserObject* list = result->GetObject();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->NPObject(), array.get());
    EXPECT_EQ(browser.ReferenceCount(array.get()), before + 1);  // the result's own

    std::unique_ptr<INPPropRes> length = list->GetProperty("length");
    ASSERT_NE(length, nullptr);
    EXPECT_EQ(length->GetValue(), TVariant::Integer(3));
    std::vector<TVariant> elements;
    for (int32_t i = 0; i < 3; ++i) {
      std::unique_ptr<INPPropRes> element = list->GetElement(i);
      ASSERT_NE(element, nullptr) << i;
      elements.push_back(element->GetValue());
    }
    EXPECT_EQ(elements, (std::vector<TVariant>{TVariant::Integer(7), TVariant::WideText(u"two"),
                                               TVariant::Boolean(true)}));
    EXPECT_EQ(list->GetElement(3), nullptr);
  }
  EXPECT_EQ(browser.ReferenceCount(array.get()), before);
  array.reset();
  window.reset();
  Done();
}

TEST_F(BrowserObjectTest, APlainObjectResultHasNoLength) {
  ObjectRef plain = browser.Page().NewObject();
  FakePageObject::From(plain.get())->Set("name", FakeBrowser::IntVariant(1));
  NPVariant value = browser.ObjectVariant(plain.get());
  Window().DefineFunction("object", value);
  browser.ReleaseVariant(value);
  auto window = Wrap(&Window());
  std::unique_ptr<INPPropRes> result = window->Invoke("object", {});
  ASSERT_NE(result, nullptr);
  ASSERT_EQ(result->GetKind(), pkObject);
  EXPECT_TRUE(result->GetValue().IsEmpty());
  EXPECT_EQ(result->GetObject()->GetProperty("length"), nullptr);
  result.reset();
  plain.reset();
  window.reset();
  Done();
}

TEST_F(BrowserObjectTest, EvaluatePassesTheScriptAsUtf8AndReadsItsResult) {
  NPVariant title = browser.StringVariant("Spiel");
  Window().AnswerScript("document.title", title);
  browser.ReleaseVariant(title);
  Window().AnswerScript("show('\xC3\xA9')", FakeBrowser::VoidVariant());
  auto window = Wrap(&Window());

  std::unique_ptr<INPPropRes> result = window->Evaluate("document.title");
  ASSERT_NE(result, nullptr);
  EXPECT_EQ(result->GetValue(), TVariant::WideText(u"Spiel"));
  result = window->Evaluate("show('\xE9')");
  ASSERT_NE(result, nullptr);
  EXPECT_EQ(result->GetKind(), pkNone);
  EXPECT_EQ(window->Evaluate("throw 1"), nullptr);
  EXPECT_EQ(Window().evaluated,
            (std::vector<std::string>{"document.title", "show('\xC3\xA9')", "throw 1"}));
  result.reset();
  window.reset();
  Done();
}

TEST_F(BrowserObjectTest, GetPropertyObjectWrapsObjectsOnly) {
  ObjectRef document = browser.Page().NewObject();
  NPVariant value = browser.ObjectVariant(document.get());
  Window().Set("document", value);
  browser.ReleaseVariant(value);
  Window().Set("count", FakeBrowser::IntVariant(3));
  Window().Set("nothing", FakeBrowser::NullVariant());
  const uint32_t before = browser.ReferenceCount(document.get());
  auto window = Wrap(&Window());
  {
    std::unique_ptr<TBrowserObject> found = window->GetPropertyObject("document");
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->NPObject(), document.get());
    EXPECT_EQ(browser.ReferenceCount(document.get()), before + 1);
  }
  EXPECT_EQ(browser.ReferenceCount(document.get()), before);
  EXPECT_EQ(window->GetPropertyObject("count"), nullptr);
  EXPECT_EQ(window->GetPropertyObject("nothing"), nullptr);
  EXPECT_EQ(window->GetPropertyObject("absent"), nullptr);
  document.reset();
  window.reset();
  Done();  // the string and the property reads left nothing behind
}

}  // namespace
}  // namespace qel::test
