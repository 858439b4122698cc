#include "LauncherFixture.h"

#include <chrono>
#include <thread>

#include "GameFiles.h"
#include "TestWindows.h"
#include "platform/AnsiText.h"

namespace qel::test {

// Window handles no other test process uses, real ones on Windows: the
// form's window listens for copy-data messages under its handle.
LauncherTest::LauncherTest() : windows(UniqueWindow) {
  TInstanceServices services;
  services.PluginDir = [this] { return PluginFolder_.Path(); };
  services.LaunchServices = [this] {
    TLaunchServices launch = DefaultLaunchServices();
    launch.Windows = &windows;
    launch.FreeSpace = [](const std::string&) { return std::optional<uint64_t>(uint64_t{1} << 40); };
    launch.InstallRoots = [] { return std::vector<std::string>{}; };
    launch.StartProcess = [this](const std::string& program, const std::string& parameters, const std::string&,
                                 const std::string&) {
      started.push_back({program, parameters});
      return kGamePid;
    };
    return launch;
  };
  services.DownloaderClass = &TFakeDownloader::Create;
  SetInstanceServicesForTesting(std::move(services));
}

LauncherTest::~LauncherTest() { SetInstanceServicesForTesting({}); }

void LauncherTest::SetUp() {
  browser.Answers().AnswerBool(NPNVSupportsXEmbedBool, true);
  browser.Answers().AnswerValue(NPNVToolkit, 2, sizeof(uint32_t));
  ASSERT_EQ(browser.Initialize(), NPERR_NO_ERROR);
}

void LauncherTest::TearDown() {
  object.reset();
  instance.reset();
  browser.ExpectClean();
  SetAnsiCharsetForTesting("");
}

void LauncherTest::Embed(Attributes attributes) {
  instance = browser.NewInstance("application/qellauncher", std::move(attributes));
  ASSERT_NE(instance, nullptr);
  object = instance->ScriptObject();
  ASSERT_TRUE(object);
}

TFormLoaderPlugin& LauncherTest::Plugin() {
  return *static_cast<TFormLoaderPlugin*>(instance->Npp()->pdata);
}

TFakeDownloader& LauncherTest::Downloader() {
  return dynamic_cast<TFakeDownloader&>(*Plugin().Launcher()->Downloader());
}

TWindowHandle LauncherTest::GiveWindow(int32_t width, int32_t height) {
  const TWindowHandle window = windows.CreatePlainWindow(0, 0, 0, width, height);
  NPWindow record{};
  record.window = reinterpret_cast<void*>(window);
  record.width = static_cast<uint32_t>(width);
  record.height = static_cast<uint32_t>(height);
  record.type = NPWindowTypeWindow;
  EXPECT_EQ(instance->SetWindow(&record), NPERR_NO_ERROR);
  return window;
}

bool LauncherTest::TickUntilState(TLaunchState state) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (Plugin().Launcher() == nullptr || (Plugin().Launcher()->State() != state &&
                                            Plugin().Launcher()->State() != lsFailed)) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    Tick();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return Plugin().Launcher()->State() == state;
}

void LauncherTest::BringToReady(Attributes extra) {
  Attributes attributes{{"gameguid", kGameId},
                        {"initdata", "http://127.0.0.1:9/init.pak"},
                        {"updatedata", "http://127.0.0.1:9/update.pak"},
                        {"initver", "3"},
                        {"updatever", "2"}};
  attributes.insert(attributes.end(), extra.begin(), extra.end());
  Embed(std::move(attributes));
  GiveWindow();
  Tick();
  ASSERT_NE(Plugin().Launcher(), nullptr);
  ASSERT_EQ(Plugin().Launcher()->State(), lsDownloading);
  WriteGame(Plugin().Launcher()->InstallPath());
  Downloader().Finish();
  ASSERT_TRUE(TickUntilState(lsReady)) << "error " << int{Plugin().Launcher()->ErrorCode()};
}

TWindowHandle LauncherTest::StartAndRun() {
  EXPECT_TRUE(Write("startapp", FakeBrowser::BoolVariant(true)));
  EXPECT_EQ(Plugin().Launcher()->State(), lsStarting);
  const TWindowHandle game = windows.AddTopLevel(kWindowTitle, kWindowClass, kGamePid);
  EXPECT_TRUE(TickUntilState(lsRunning));
  return game;
}

std::optional<std::string> LauncherTest::Read(const std::string& name) {
  ScopedVariant result(browser);
  if (!browser.GetProperty(object.get(), name, result.out())) return std::nullopt;
  return result.Text();
}

NPVariantType LauncherTest::ReadType(const std::string& name) {
  ScopedVariant result(browser);
  EXPECT_TRUE(browser.GetProperty(object.get(), name, result.out())) << name;
  return result.get().type;
}

bool LauncherTest::Write(const std::string& name, NPVariant value) {
  bool answer = browser.SetProperty(object.get(), name, value);
  browser.ReleaseVariant(value);
  return answer;
}

}  // namespace qel::test
