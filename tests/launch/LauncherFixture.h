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

#include "FakeWindowSystem.h"
#include "ObjectFolderFixture.h"
#include "launch/GameLauncher.h"
#include "net/FileDownloader.h"

namespace qel::test {

inline constexpr char kGameId[] = "samplegame";
inline constexpr char kWindowTitle[] = "Sample Game";
inline constexpr char kWindowClass[] = "QelSample";

// Stands in for the HTTP downloader: the test says how far it has come.
class TFakeDownloader : public TFileDownloader {
 public:
  static std::unique_ptr<TFileDownloader> Create() { return std::make_unique<TFakeDownloader>(); }

  void StartInitDownload() override;
  void StartUpdateDownload() override;
  void AbortDownload() override { ++Aborts; }
  void Poll() override;

  void Receive(int32_t received, int32_t total);
  void Finish() { State_ = dsDone; }
  void Break() { State_ = dsError; }

  int Starts = 0;
  int Aborts = 0;
  bool FailPoll = false;
};

// Whether another thread (as another instance would) can take the game's
// download mutex now.
bool MutexFreeForOthers(const std::string& game_id);
// Run units of the game nobody holds.
int FreeUnits(const std::string& game_id);

// What config.ini says.
struct TGameConfig {
  std::string InitKind = "2";
  std::string InitModule = "game";
  std::string UpdateModule = "update.so";
  std::string GameGuid = kGameId;
};

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
  void BringToReady(TGameLauncher& launcher);

  TFakeWindowSystem Windows_;
  uint64_t FreeBytes_ = uint64_t{1} << 40;
  std::vector<std::string> Roots_;
  struct TStart {
    std::string Program;
    std::string Parameters;
    std::string Folder;
  };
  std::vector<TStart> Started_;
  bool FailStart_ = false;
  static constexpr uint32_t kGamePid = 4242;
};

}  // namespace qel::test
