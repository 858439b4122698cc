// Carries one game from the embedded object to the running game: finds or
// chooses its install folder, coordinates with every other instance of the
// game through its named objects, lets the downloader bring the data up to
// date, runs the game's update module, waits for the page's start and
// starts the game through its init module or as a process whose window it
// pulls into the page. It never waits: the owner calls Tick every 50 ms and
// each step either completes within the call or is looked at again on the
// next. All calls come from the owner's thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "launch/ConfigReader.h"
#include "launch/GameLocks.h"
#include "launch/GameModules.h"
#include "launch/GameParameters.h"
#include "launch/GameRegister.h"
#include "launch/LaunchServices.h"
#include "launch/LaunchState.h"
#include "net/FileDownloader.h"
#include "net/HttpRequest.h"

namespace qel {

class TGameLauncher {
 public:
  using TNotifyEvent = std::function<void(TGameLauncher& Sender)>;
  using TErrorEvent = std::function<void(TGameLauncher& Sender, uint8_t ErrorCode)>;
  using TPictureEvent = std::function<void(TGameLauncher& Sender, const TMemoryStream& Data)>;

  TGameLauncher();
  explicit TGameLauncher(TLaunchServices Services);
  // Stops what runs, asks the game window to close (waiting up to 15 s),
  // waits without limit for the update module's worker, and gives back
  // every named object it holds.
  ~TGameLauncher();
  TGameLauncher(const TGameLauncher&) = delete;
  TGameLauncher& operator=(const TGameLauncher&) = delete;

  // RequiredSpaceMB becomes twice the disk size, at least 100.
  void SetGameInfo(std::string_view GameId, bool MultiRun, int32_t DiskSizeMB, std::string_view UpdateInfo,
                   std::string_view PluginDir);
  void SetDownloader(TFileDownloaderClass DownloaderClass, std::string_view InitUrl, std::string_view UpdateUrl,
                     int32_t InitVersion, int32_t UpdateVersion);
  // Once: the install folder, the named objects, and the first step.
  void Start();
  void Tick();

  void SetLaunchInfo(std::string_view Account, std::string_view Password, std::string_view RunInfo,
                     int32_t SrcId, int32_t DbId, int32_t GsId);
  // Starts the game inside the host window; only in lsReady.
  void Launch(TWindowHandle HostWindow);
  void AbortGame();

  // Fetch the pictures of the progress display; an empty URL, or the one
  // already asked for, fetches nothing.
  void LoadBackground(std::string_view Url);
  void LoadBarImages(std::string_view BarUrl, std::string_view StepUrl);

  // "nowprogress": 0..100, or minus ErrorCode after a failure.
  int32_t GetProgress() const;
  // "showkind": 1 while the game runs, minus ErrorCode after a failure, else 0.
  int32_t GetShowKind() const;

  TLaunchState State() const { return State_; }
  uint8_t ErrorCode() const { return ErrorCode_; }
  const std::string& InstallPath() const { return InstallPath_; }
  const std::string& PluginDir() const { return PluginDir_; }
  int32_t RequiredSpaceMB() const { return RequiredSpaceMB_; }
  bool NewInstall() const { return NewInstall_; }
  int RunUnits() const { return Locks_ ? Locks_->RunUnits() : 0; }
  TWindowHandle HostWindow() const { return HostWindow_; }
  TWindowHandle GameWindow() const { return GameWindow_; }
  TFileDownloader* Downloader() const { return Downloader_.get(); }

  TNotifyEvent OnGameRunning;
  TErrorEvent OnLaunchError;
  TPictureEvent OnBackgroundLoaded;
  TPictureEvent OnBarLoaded;
  TPictureEvent OnStepLoaded;

 private:
  struct TPicture {
    std::string Url;
    std::unique_ptr<THttpRequest> Request;
  };

  // The one place where the state changes.
  void ChangeState(TLaunchState NewState);
  // lsFailed with the code; a launch that has failed keeps its first code.
  void Fail(TLaunchError Code);

  void Acquire();
  // config.ini into Config; false, and lsFailed with error 5, when it
  // cannot be read.
  bool ReadConfig();
  int NeededUnits() const { return MultiRun_ ? 1 : kRunSemaphoreUnits; }
  void TickDownload();
  void RecordInstallFolder();
  void RunUpdateStep();
  void TickUpdate();
  void LaunchThroughModule();
  void LaunchAsProcess();
  void SearchGameWindow();
  void CloseGameWindow();
  void LoadPicture(TPicture& Picture, std::string_view Url);
  void PollPicture(TPicture& Picture, const TPictureEvent& Handler);
  void Destroy();

  TLaunchServices Services_;
  std::unique_ptr<TGameRegister> Register_;
  std::unique_ptr<TConfigReader> Config_;
  std::string GameId_;
  TWindowHandle HostWindow_ = 0;
  TWindowHandle GameWindow_ = 0;
  int32_t InitKind_ = 0;
  std::string UpdateModulePath_;
  std::string InitModulePath_;
  std::string InstallPath_;
  std::string PluginDir_;
  int32_t RequiredSpaceMB_ = 0;
  TLaunchInfo LaunchInfo_;
  TPicture Background_;
  TPicture Bar_;
  TPicture Step_;
  std::string UpdateInfo_;
  // Of a game started as a process, until its window is found.
  uint32_t ProcessId_ = 0;
  std::unique_ptr<TModule> UpdateModule_;
  std::unique_ptr<TModule> InitModule_;
  // Shared with the update module's worker, which writes it at any time.
  mutable TUpdateGameRec UpdateRec_;
  std::unique_ptr<TFileDownloader> Downloader_;
  std::unique_ptr<TGameLocks> Locks_;
  bool NewInstall_ = false;
  bool MultiRun_ = false;
  TLaunchState State_ = lsIdle;
  uint8_t ErrorCode_ = leNone;
};

}  // namespace qel
