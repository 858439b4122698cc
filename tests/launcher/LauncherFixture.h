// A launcher instance embedded in the fake browser, with its script object,
// short ways to read and write properties as page script does, and
// everything under the instance in the test's hands: windows in memory, a
// downloader the test drives, the game's start recorded instead of done,
// and a fresh plug-in folder and named objects. The browser gives windowed
// plug-ins windows of their own unless a test says otherwise.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "FakeBrowser.h"
#include "FakeDownloader.h"
#include "FakeWindowSystem.h"
#include "ObjectFolderFixture.h"
#include "ScopedVariant.h"
#include "launcher/FormLoaderPlugin.h"
#include "platform/AnsiText.h"

namespace qel::test {

class LauncherTest : public ObjectFolderFixture {
 protected:
  using Attributes = std::vector<std::pair<std::string, std::string>>;

  LauncherTest();
  ~LauncherTest() override;
  void SetUp() override;
  void TearDown() override;

  void Embed(Attributes attributes = {});
  TFormLoaderPlugin& Plugin();
  TFakeDownloader& Downloader();
  // NPP_SetWindow with a new window of the given size.
  TWindowHandle GiveWindow(int32_t width = 640, int32_t height = 480);
  void Tick() { Plugin().TimerTick(); }
  // Ticks until the workflow is in `state` or has failed (the update
  // module's worker runs on a thread of its own); false after ten seconds.
  bool TickUntilState(TLaunchState state);
  // Embeds the sample game's attributes, gives a window, lets the download
  // finish with the game's files and ticks to lsReady.
  void BringToReady(Attributes extra = {});
  // From lsReady: startapp, and the game's window appearing as its process's.
  TWindowHandle StartAndRun();

  // What page script reads: the value as text, or nothing when the read fails.
  std::optional<std::string> Read(const std::string& name);
  NPVariantType ReadType(const std::string& name);
  // Writes and gives the variant back to the browser, as a script engine does.
  bool Write(const std::string& name, NPVariant value);
  bool WriteText(const std::string& name, const std::string& utf8) {
    return Write(name, browser.StringVariant(utf8));
  }

  static constexpr uint32_t kGamePid = 4242;

  TFakeWindowSystem windows;
  FakeBrowser browser;
  std::unique_ptr<FakeInstance> instance;
  ObjectRef object;
  struct TStart {
    std::string Program;
    std::string Parameters;
  };
  std::vector<TStart> started;
};

}  // namespace qel::test
