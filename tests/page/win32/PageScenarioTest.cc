// The page-level scenario on Windows, as a browser runs it: npqelgame.dll
// loaded through the module loader from a plug-in folder of its own, a page
// that writes the game's properties and starts it, the sample game's packs
// over HTTP, the game's window inside the plug-in's, and the game's call to
// the page answered by the page's own function. The packs come from nginx,
// which Wine starts as the Linux program it is.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "FakeBrowser.h"
#include "ModulePluginEntry.h"
#include "NginxServer.h"
#include "SampleGamePacks.h"
#include "ScopedVariant.h"
#include "TempFolder.h"
#include "WindowSearch.h"
#include "platform/Loop.h"
#include "platform/NativeWindows.h"

namespace qel::test {
namespace {

constexpr int kPatienceMs = 60000;
constexpr char kReply[] = "Welcome, game! The page got 42";

// The plug-in library in a folder of its own: a Windows plug-in installs its
// games beside its own file.
std::string CopyOfPlugin(const TTempFolder& folder) {
  const std::string copy = folder / "npqelgame.dll";
  std::filesystem::copy_file(QEL_PLUGIN_LIBRARY, copy);
  return copy;
}

class PageScenario : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(Plugin_.Failure(), "");
    ASSERT_EQ(Packs_.Failure(), "");
    ASSERT_NE(Host_, 0u) << "no window of the plug-in's own";
    if (!Server_.Running()) GTEST_SKIP() << Server_.Failure();
    for (const char* name : {"init.pack", "update.pack"})
      Server_.PutFile(name, FileContent(Packs_.Folder() + name));
    ASSERT_EQ(browser_.Initialize(), NPERR_NO_ERROR);
    instance_ = browser_.NewInstance("application/qellauncher", {{"width", "640"}, {"height", "480"}});
    ASSERT_NE(instance_, nullptr);
    object_ = instance_->ScriptObject();
    ASSERT_TRUE(object_);
    NPWindow record{};
    record.window = reinterpret_cast<void*>(Host_);
    record.width = 640;
    record.height = 480;
    record.type = NPWindowTypeWindow;
    ASSERT_EQ(instance_->SetWindow(&record), NPERR_NO_ERROR);
  }
  void TearDown() override {
    object_.reset();
    instance_.reset();
    browser_.ExpectClean();
    Windows().DestroyWindow(Host_);
  }

  static TWindowSystem& Windows() { return DefaultWindowSystem(); }

  std::optional<std::string> Read(const std::string& name) {
    ScopedVariant result(browser_);
    if (!browser_.GetProperty(object_.get(), name, result.out())) return std::nullopt;
    return result.Text();
  }
  bool Write(const std::string& name, NPVariant value) {
    const bool written = browser_.SetProperty(object_.get(), name, value);
    browser_.ReleaseVariant(value);
    return written;
  }

  // What the page script of the game's site does: the game's properties,
  // then, once the launcher shows it ready, the player and the start.
  void InstallAndStart() {
    Write("gameguid", browser_.StringVariant(kPageGameId));
    Write("initdata", browser_.StringVariant(Server_.Url("init.pack")));
    Write("updatedata", browser_.StringVariant(Server_.Url("update.pack")));
    Write("initver", FakeBrowser::IntVariant(1));
    Write("updatever", FakeBrowser::IntVariant(2));
    ASSERT_TRUE(RunLoopUntil([&] { return Read("nowprogress") == "100" || Failed(); }, kPatienceMs));
    ASSERT_FALSE(Failed()) << "errcode " << Read("errcode").value_or("?");
    Write("logid", browser_.StringVariant("abc"));
    Write("srcid", FakeBrowser::IntVariant(7));
    Write("gsid", FakeBrowser::IntVariant(3));
    ASSERT_TRUE(Write("startapp", FakeBrowser::BoolVariant(true)));
    EXPECT_EQ(Read("startapp"), "true");
    ASSERT_TRUE(RunLoopUntil([&] { return Read("showkind") == "1" || Failed(); }, kPatienceMs));
    ASSERT_FALSE(Failed()) << "errcode " << Read("errcode").value_or("?");
  }
  bool Failed() { return Read("errcode").value_or("0") != "0"; }

  // The install folder's file once it is there, or "<missing>".
  std::string AwaitInstalled(const std::string& name) {
    const std::string path = PluginFolder_ / (std::string(kPageGameId) + "/" + name);
    RunLoopUntil([&] { return std::filesystem::exists(path); }, kPatienceMs);
    return FileContent(path);
  }
  TWindowHandle GameWindow() { return FindWindowBelow(Host_, kPageGameTitle, kPageGameClass); }

  TSampleGamePacks Packs_;
  TNginxServer Server_;
  TTempFolder PluginFolder_;
  // The library stays loaded until the browser has shut it down.
  TModulePlugin Plugin_{CopyOfPlugin(PluginFolder_)};
  TWindowHandle Host_ = Windows().CreatePlainWindow(0, 0, 0, 640, 480);
  FakeBrowser browser_{Plugin_.Entry()};
  std::unique_ptr<FakeInstance> instance_;
  ObjectRef object_;
};

TEST_F(PageScenario, AFreshInstallStartsTheGameInsideThePluginAndItsCallReachesThePage) {
  // Windows browsers learn the MIME type from the version information.
  EXPECT_EQ(Plugin_.MimeDescription(), "");
  FakePageObject& window = browser_.Page().Window();
  NPVariant reply = browser_.StringVariant(kReply);
  window.DefineFunction("qelGameSays", reply);
  browser_.ReleaseVariant(reply);
  ASSERT_NO_FATAL_FAILURE(InstallAndStart());
  EXPECT_EQ(AwaitInstalled("patch.txt"), "the second version's patch\n");
  // The command line is the parameter string alone.
  EXPECT_EQ(AwaitInstalled("received-params.txt"), "SrcID=7;Account=abc;GSID=3;");

  // Inside the plug-in's window, through the window the plug-in keeps in it.
  const TWindowHandle game = GameWindow();
  ASSERT_NE(game, 0u);
  const TWindowHandle holder = Windows().GetParent(game);
  EXPECT_EQ(Windows().GetParent(holder), Host_);
  EXPECT_EQ(Windows().ClientSize(game).Width, 640);

  EXPECT_EQ(AwaitInstalled("page-reply.txt"), std::string("code=1\nvalue=") + kReply + "\n");
  EXPECT_EQ(window.CallsOf("qelGameSays"),
            (std::vector<std::vector<std::string>>{{"String Hello from the sample game", "Int32 42"}}));

  // Leaving the page closes the game.
  object_.reset();
  instance_.reset();
  EXPECT_NE(AwaitInstalled("closed.txt"), "<missing>");
  EXPECT_FALSE(Windows().IsWindow(game));
}

TEST_F(PageScenario, APageFunctionThatThrowsAnswersTheGameWithAFailureAndTheGameRunsOn) {
  browser_.Page().Window().DefineThrowingFunction("qelGameSays");
  ASSERT_NO_FATAL_FAILURE(InstallAndStart());
  EXPECT_EQ(AwaitInstalled("page-reply.txt"), "code=0\n");
  EXPECT_EQ(browser_.Page().Window().CallsOf("qelGameSays").size(), 1u);
  const TWindowHandle game = GameWindow();
  EXPECT_NE(game, 0u);
  RunLoopFor(300);
  EXPECT_EQ(Read("showkind"), "1");
  EXPECT_EQ(Read("errcode"), "0");
  EXPECT_TRUE(Windows().IsWindow(game));
}

}  // namespace
}  // namespace qel::test
