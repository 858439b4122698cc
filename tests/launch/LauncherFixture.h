// The launch workflow's test bench: fresh named objects and plug-in folder,
// windows in memory, a downloader the test drives, the program start
// recorded instead of done, and the sample game's update module copied into
// install folders with a config.ini the test chooses.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "FakeDownloader.h"
#include "GameFiles.h"
#include "FakeWindowSystem.h"
#include "ObjectFolderFixture.h"
#include "launch/GameLauncher.h"
#include "net/FileDownloader.h"

namespace qel::test {

// Whether another thread (as another instance would) can take the game's
// download mutex now.
bool MutexFreeForOthers(const std::string& game_id);
// Run units of the game nobody holds.
int FreeUnits(const std::string& game_id);

class LauncherTest : public ObjectFolderFixture {
 protected:
  TLaunchServices Services();
  // A launcher given the game's settings and the fake downloader, not started.
  std::unique_ptr<TGameLauncher> NewLauncher(const std::string& game_id = kGameId, bool multi_run = false,
                                             const std::string& update_info = "");
  static TFakeDownloader& FakeOf(TGameLauncher& launcher);

  // What a pack of the sample game unpacks: config.ini and the update module.
  void WriteGame(const std::string& folder, const TGameConfig& config = {},
                 const std::string& update_module = QEL_SAMPLE_UPDATE_MODULE);
  // The game installed and current: its folder in the register and its
  // versions in "dataver.dat".
  std::string InstallCurrentGame(const TGameConfig& config = {}, const std::string& game_id = kGameId);
  // Ticks (letting the update module's worker run) until the condition
  // holds or ten seconds pass.
  bool TickUntil(TGameLauncher& launcher, const std::function<bool()>& condition);
  // From Start through a completed download and update to lsReady.
  void BringToReady(TGameLauncher& launcher, const TGameConfig& config = {});

  TFakeWindowSystem Windows_;
  uint64_t FreeBytes_ = uint64_t{1} << 40;
  std::vector<std::string> Roots_;
  struct TStart {
    std::string Program;
    std::string Parameters;
    std::string Folder;
    std::string EnvironmentParameters;
  };
  std::vector<TStart> Started_;
  bool FailStart_ = false;
  static constexpr uint32_t kGamePid = 4242;
};

}  // namespace qel::test
