// Where the instance lives: in a browser that gives plug-ins no window it is
// windowless and keeps a window of its own over the element's box.
#include "GameFiles.h"
#include "LauncherFixture.h"
#include "platform/PluginWindowing.h"

namespace qel::test {
namespace {

class WindowlessHosting : public LauncherTest {
 protected:
  void SetUp() override {
    if (BrowserGivesPluginWindows(true, 0))
      GTEST_SKIP() << "this system's browsers give every windowed plug-in a window of its own";
    // QtWebKit's answers: XEmbed "supported", no toolkit; its top-level window.
    browser.Answers().AnswerBool(NPNVSupportsXEmbedBool, true);
    topLevel = windows.CreatePlainWindow(0, 0, 0, 1024, 768);
    browser.Answers().AnswerValue(NPNVnetscapeWindow, topLevel, sizeof(TWindowHandle));
    ASSERT_EQ(browser.Initialize(), NPERR_NO_ERROR);
    box = browser.Page().NewObject();
    PlaceElement(24.4, 80.6, 300, 200);
    browser.Page().PluginElement().DefineMethod(
        "getBoundingClientRect", [this](const NPVariant*, uint32_t, NPVariant* result) {
          *result = browser.ObjectVariant(box.get());
          return true;
        });
    SetView(1024, 768);
  }
  void TearDown() override {
    box.reset();
    LauncherTest::TearDown();
  }

  void PlaceElement(double left, double top, double width, double height) {
    auto& rect = *FakePageObject::From(box.get());
    rect.Set("left", FakeBrowser::DoubleVariant(left));
    rect.Set("top", FakeBrowser::DoubleVariant(top));
    rect.Set("width", FakeBrowser::DoubleVariant(width));
    rect.Set("height", FakeBrowser::IntVariant(static_cast<int32_t>(height)));
  }
  void SetView(int32_t width, int32_t height) {
    browser.Page().Window().Set("innerWidth", FakeBrowser::IntVariant(width));
    browser.Page().Window().Set("innerHeight", FakeBrowser::IntVariant(height));
  }
  // What QtWebKit hands a windowless plug-in: a size and no window.
  void SetWindowlessWindow(uint32_t width, uint32_t height) {
    NPWindow record{};
    record.width = width;
    record.height = height;
    record.type = NPWindowTypeDrawable;
    EXPECT_EQ(instance->SetWindow(&record), NPERR_NO_ERROR);
  }
  const TFakeWindowSystem::TWindow& Own() { return windows.Windows[Plugin().WindowHandle()]; }

  TWindowHandle topLevel = 0;
  ObjectRef box;
};

TEST_F(WindowlessHosting, DeclaresItselfWindowlessAndKeepsItsWindowOverTheElement) {
  // With a background picture the form fills the window from the first tick.
  Embed({{"gameguid", kGameId}, {"bgpic", "http://127.0.0.1:9/bg.jpg"}});
  EXPECT_EQ(browser.LastSetValue(NPPVpluginWindowBool), 0);
  NPBool windowed = 1;
  EXPECT_EQ(instance->GetValue(NPPVpluginWindowBool, &windowed), NPERR_NO_ERROR);
  EXPECT_EQ(windowed, 0);

  SetWindowlessWindow(300, 200);
  ASSERT_NE(Plugin().WindowHandle(), 0u);
  EXPECT_EQ(Own().Parent, topLevel);
  EXPECT_FALSE(Own().Visible);  // not shown before it is in place

  Tick();
  EXPECT_EQ(Own().X, 24);
  EXPECT_EQ(Own().Y, 81);
  EXPECT_EQ(Own().Width, 300);
  EXPECT_EQ(Own().Height, 200);
  EXPECT_TRUE(Own().Visible);
  ASSERT_NE(Plugin().Launcher(), nullptr);  // the own window is the instance's window

  // The page scrolls and the element grows: the window and the form follow.
  ASSERT_NE(Plugin().Form().Handle(), 0u);
  PlaceElement(24, -50, 400, 250);
  Tick();
  EXPECT_EQ(Own().Y, -50);
  EXPECT_EQ(Own().Width, 400);
  EXPECT_TRUE(Own().Visible);
  EXPECT_EQ(windows.Windows[Plugin().Form().Handle()].Width, 400);
  EXPECT_EQ(windows.Windows[Plugin().Form().Handle()].Height, 250);

  // Scrolled out of view, then back; an empty box hides it too.
  PlaceElement(24, -260, 400, 250);
  Tick();
  EXPECT_FALSE(Own().Visible);
  PlaceElement(24, 700, 400, 250);
  Tick();
  EXPECT_TRUE(Own().Visible);
  SetView(1024, 600);
  Tick();
  EXPECT_FALSE(Own().Visible);
  SetView(1024, 768);
  PlaceElement(24, 100, 0, 250);
  Tick();
  EXPECT_FALSE(Own().Visible);
}

// A page whose element answers no box leaves the window where the browser's
// size put it, and nothing breaks.
TEST_F(WindowlessHosting, AnElementWithoutABoxLeavesTheWindowAlone) {
  Embed({{"gameguid", kGameId}});
  browser.Page().PluginElement().DefineThrowingFunction("getBoundingClientRect");
  SetWindowlessWindow(320, 240);
  Tick();
  Tick();
  EXPECT_EQ(Own().Width, 320);
  EXPECT_FALSE(Own().Visible);
  const TWindowHandle own = Plugin().WindowHandle();
  instance->Destroy();
  EXPECT_FALSE(windows.IsWindow(own));
}

}  // namespace
}  // namespace qel::test
