// The instance's way into the page around it: its window, the parent page
// that holds it in a frame, and sibling frames by element id.
#include <gtest/gtest.h>

#include <algorithm>

#include "FakeBrowser.h"
#include "RecordingInstanceTest.h"
#include "RecordingPlugin.h"
#include "platform/Error.h"

namespace qel::test {
namespace {

class PageAccessTest : public RecordingInstanceTest {
 protected:
  void SetUp() override {
    RecordingInstanceTest::SetUp();
    if (HasFatalFailure()) return;
    plugin = static_cast<TPlugin*>(instance->Npp()->pdata);
  }

  FakePage& Page() { return browser.Page(); }
  int WindowRequests() const {
    const std::vector<std::string> calls = browser.Calls();
    return static_cast<int>(std::count(calls.begin(), calls.end(), "GetValue 15"));
  }
  // The failure text of asking for the window; empty when it was given.
  std::string WindowFailure() {
    try {
      plugin->WindowObject();
    } catch (const EQelError& failure) {
      return failure.what();
    }
    return {};
  }
  void TopLevelPage() { Page().Window().Set("frameElement", FakeBrowser::NullVariant()); }

  TPlugin* plugin = nullptr;
};

TEST_F(PageAccessTest, TheWindowIsAskedForOnceAndHeldUntilTheInstanceEnds) {
  NPObject* window = &Page().Window();
  const uint32_t before = browser.ReferenceCount(window);
  TBrowserObject& first = plugin->WindowObject();
  TBrowserObject& second = plugin->WindowObject();
  EXPECT_EQ(&first, &second);
  EXPECT_EQ(first.NPObject(), window);
  EXPECT_EQ(WindowRequests(), 1);
  // The browser's reference went back; the wrapper keeps one of its own.
  EXPECT_EQ(browser.ReferenceCount(window), before + 1);
  ObjectRef keep = browser.Retain(window);
  instance.reset();
  EXPECT_EQ(browser.ReferenceCount(window), before + 1);  // only `keep` is left over
  keep.reset();
  browser.ExpectClean();
}

TEST_F(PageAccessTest, AWindowTheBrowserDoesNotGiveIsAFailureTriedAgainNextTime) {
  Page().FailWindowObject(NPERR_OUT_OF_MEMORY_ERROR);
  EXPECT_EQ(WindowFailure(), "Error getting a browser window object: 5");
  EXPECT_THROW(plugin->ParentWindow(), EQelError);
  EXPECT_THROW(plugin->FrameWindow("game"), EQelError);
  // Success without an object is no window either.
  Page().FailWindowObject(NPERR_NO_ERROR);
  Page().AnswerNullWindow(true);
  EXPECT_EQ(WindowFailure(), "Error getting a browser window object: 0");
  Page().AnswerNullWindow(false);
  EXPECT_EQ(WindowFailure(), "");
  EXPECT_EQ(WindowRequests(), 5);
  Done();
}

TEST_F(PageAccessTest, APageNotInAFrameHasNoParentAndNoFrames) {
  for (bool browserSaysNull : {false, true}) {
    SCOPED_TRACE(browserSaysNull ? "frameElement null" : "no frameElement");
    if (browserSaysNull) TopLevelPage();
    EXPECT_EQ(plugin->ParentDocument(), nullptr);
    EXPECT_EQ(plugin->ParentWindow(), nullptr);
    EXPECT_EQ(plugin->FrameDocument("game"), nullptr);
    EXPECT_EQ(plugin->FrameWindow("game"), nullptr);
  }
  // Nothing is remembered while nothing is found: every call looked again.
  EXPECT_EQ(Page().Window().ReadsOf("frameElement"), 8);
  Done();
}

TEST_F(PageAccessTest, TheParentIsFoundOnceThePageIsInAFrame) {
  TopLevelPage();
  EXPECT_EQ(plugin->ParentDocument(), nullptr);
  FakePageObject& parentDocument = Page().ParentDocument();
  FakePageObject& parentWindow = Page().ParentWindow();
  const uint32_t documentBefore = browser.ReferenceCount(&parentDocument);
  const uint32_t windowBefore = browser.ReferenceCount(&parentWindow);

  TBrowserObject* document = plugin->ParentDocument();
  ASSERT_NE(document, nullptr);
  EXPECT_EQ(document->NPObject(), &parentDocument);
  TBrowserObject* window = plugin->ParentWindow();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->NPObject(), &parentWindow);
  EXPECT_EQ(plugin->ParentWindow(), window);
  EXPECT_EQ(plugin->ParentDocument(), document);
  // Looked up once: the browser was asked for each step a single time.
  EXPECT_EQ(Page().Window().ReadsOf("frameElement"), 2);
  EXPECT_EQ(parentDocument.ReadsOf("defaultView"), 1);
  EXPECT_EQ(browser.ReferenceCount(&parentDocument), documentBefore + 1);
  EXPECT_EQ(browser.ReferenceCount(&parentWindow), windowBefore + 1);

  // The cached page objects go back with the instance.
  ObjectRef keepDocument = browser.Retain(&parentDocument);
  ObjectRef keepWindow = browser.Retain(&parentWindow);
  instance.reset();
  EXPECT_EQ(browser.ReferenceCount(&parentDocument), documentBefore + 1);
  EXPECT_EQ(browser.ReferenceCount(&parentWindow), windowBefore + 1);
  keepDocument.reset();
  keepWindow.reset();
  browser.ExpectClean();
}

TEST_F(PageAccessTest, FramesAreFoundByElementIdOnEveryCallAndBelongToTheCaller) {
  FakePageObject& game = Page().AddFrame("game");
  FakePageObject& chat = Page().AddFrame("chat");
  const uint32_t before = browser.ReferenceCount(&game);
  {
    std::unique_ptr<TBrowserObject> window = plugin->FrameWindow("game");
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->NPObject(), &game);
    EXPECT_EQ(browser.ReferenceCount(&game), before + 1);
    std::unique_ptr<TBrowserObject> other = plugin->FrameWindow("chat");
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(other->NPObject(), &chat);
    std::unique_ptr<TBrowserObject> document = plugin->FrameDocument("game");
    ASSERT_NE(document, nullptr);
    EXPECT_EQ(document->NPObject(), game.ObjectAt("document"));
  }
  EXPECT_EQ(browser.ReferenceCount(&game), before);
  EXPECT_EQ(
      Page().ParentDocument().CallsOf("getElementById"),
      (std::vector<std::vector<std::string>>{{"String game"}, {"String chat"}, {"String game"}}));
  Done();
}

TEST_F(PageAccessTest, AnIdOfNoFrameGivesNoFrame) {
  Page().AddElement("logo");
  EXPECT_EQ(plugin->FrameDocument("logo"), nullptr);
  EXPECT_EQ(plugin->FrameWindow("logo"), nullptr);
  EXPECT_EQ(plugin->FrameWindow("missing"), nullptr);
  EXPECT_EQ(plugin->FrameWindow(""), nullptr);
  EXPECT_EQ(Page().ParentDocument().CallsOf("getElementById").size(), 4u);
  Done();  // the element's wrapper and the id's string were freed
}

TEST_F(PageAccessTest, CallsReachTheWindowTheyWereMeantFor) {
  Page().Window().DefineFunction("where", FakeBrowser::IntVariant(1));
  Page().ParentWindow().DefineFunction("where", FakeBrowser::IntVariant(2));
  Page().AddFrame("game").AnswerScript("where()", FakeBrowser::IntVariant(3));

  std::unique_ptr<INPPropRes> own = plugin->WindowObject().Invoke("where", {});
  std::unique_ptr<INPPropRes> parent = plugin->ParentWindow()->Invoke("where", {});
  std::unique_ptr<INPPropRes> frame = plugin->FrameWindow("game")->Evaluate("where()");
  ASSERT_TRUE(own && parent && frame);
  EXPECT_EQ(own->GetValue(), TVariant::Integer(1));
  EXPECT_EQ(parent->GetValue(), TVariant::Integer(2));
  EXPECT_EQ(frame->GetValue(), TVariant::Integer(3));
  own.reset();
  parent.reset();
  frame.reset();
  Done();
}

}  // namespace
}  // namespace qel::test
