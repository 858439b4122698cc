// The page model that the plug-in's page access is tested against: where
// scripts are evaluated, and a parent page with frames, reached through
// NPN_* as the plug-in reaches them.
#include <gtest/gtest.h>

#include "FakeBrowser.h"
#include "MiniInstanceTest.h"
#include "MiniPlugin.h"
#include "ScopedVariant.h"

namespace qel::test {
namespace {

class PageModelTest : public MiniInstanceTest {
 protected:
  // The property's value as VariantText shows it; "<failed>" when the read fails.
  std::string Read(NPObject* object, const char* name) {
    ScopedVariant value(browser);
    if (!npn.getproperty(instance->Npp(), object, npn.getstringidentifier(name), value.out()))
      return "<failed>";
    return value.Text();
  }
  // The property's object, with a reference the test holds.
  ObjectRef ObjectOf(NPObject* object, const char* name) {
    NPVariant value{};
    if (!npn.getproperty(instance->Npp(), object, npn.getstringidentifier(name), &value) ||
        value.type != NPVariantType_Object) {
      browser.ReleaseVariant(value);
      return {};
    }
    return ObjectRef(browser.Objects(), value.value.objectValue);
  }
  ObjectRef ElementById(NPObject* document, const NPVariant& id) {
    NPVariant found{};
    EXPECT_TRUE(npn.invoke(instance->Npp(), document, npn.getstringidentifier("getElementById"),
                           &id, 1, &found));
    if (found.type != NPVariantType_Object) {
      EXPECT_EQ(found.type, NPVariantType_Null);
      return {};
    }
    return ObjectRef(browser.Objects(), found.value.objectValue);
  }
  void Done() {
    instance.reset();
    browser.ExpectClean();
  }
};

TEST_F(PageModelTest, ScriptsEvaluateInTheirWindowUnlessAnEvaluatorAnswersAll) {
  FakePageObject& window = browser.Page().Window();
  window.AnswerScript("1+1", FakeBrowser::IntVariant(2));
  std::string script = "1+1";
  NPString text{script.data(), static_cast<uint32_t>(script.size())};
  ScopedVariant result(browser);
  ASSERT_TRUE(npn.evaluate(instance->Npp(), &window, &text, result.out()));
  EXPECT_EQ(result.Text(), "2");
  // Another window knows other scripts.
  EXPECT_FALSE(npn.evaluate(instance->Npp(), &browser.Page().ParentWindow(), &text, result.out()));
  EXPECT_EQ(browser.Page().ParentWindow().evaluated, std::vector<std::string>{"1+1"});

  browser.Answers().SetEvaluator([](std::string_view, NPVariant* out) {
    *out = FakeBrowser::BoolVariant(true);
    return true;
  });
  ASSERT_TRUE(npn.evaluate(instance->Npp(), &window, &text, result.out()));
  EXPECT_EQ(result.Text(), "true");
  EXPECT_EQ(window.evaluated.size(), 1u);
  Done();
}

TEST_F(PageModelTest, AParentPageHoldsThePageAndItsFramesByElementId) {
  FakePage& page = browser.Page();
  FakePageObject& window = page.Window();
  EXPECT_EQ(Read(&window, "frameElement"), "<failed>");
  FakePageObject& frameWindow = page.AddFrame("game");
  FakePageObject& image = page.AddElement("logo");
  {
    ObjectRef frame = ObjectOf(&window, "frameElement");
    ASSERT_TRUE(frame);
    ObjectRef owner = ObjectOf(frame.get(), "ownerDocument");
    EXPECT_EQ(owner.get(), &page.ParentDocument());
    ObjectRef view = ObjectOf(owner.get(), "defaultView");
    EXPECT_EQ(view.get(), &page.ParentWindow());

    NPVariant id = browser.StringVariant("game");
    ObjectRef element = ElementById(owner.get(), id);
    browser.ReleaseVariant(id);
    ASSERT_TRUE(element);
    ObjectRef content = ObjectOf(element.get(), "contentDocument");
    ASSERT_TRUE(content);
    ObjectRef frameView = ObjectOf(content.get(), "defaultView");
    EXPECT_EQ(frameView.get(), &frameWindow);

    id = browser.StringVariant("logo");
    ObjectRef logo = ElementById(owner.get(), id);
    browser.ReleaseVariant(id);
    EXPECT_EQ(logo.get(), &image);
    EXPECT_EQ(Read(logo.get(), "contentDocument"), "<void>");
    id = browser.StringVariant("missing");
    EXPECT_FALSE(ElementById(owner.get(), id));
    browser.ReleaseVariant(id);
    EXPECT_FALSE(ElementById(owner.get(), FakeBrowser::IntVariant(1)));
  }
  EXPECT_EQ(page.ParentDocument().CallsOf("getElementById").size(), 4u);
  Done();  // closing the page breaks the cycles between them all
}

}  // namespace
}  // namespace qel::test
