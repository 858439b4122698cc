#include "launch/GameLauncher.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <exception>
#include <thread>

#include "launch/GameModuleLoader.h"
#include "launch/GameWindow.h"
#include "launch/InstallFolder.h"
#include "launch/SearchPath.h"
#include "platform/AnsiText.h"
#include "platform/Error.h"
#include "platform/ModuleHandle.h"

namespace qel {
namespace {

constexpr int32_t kMinimumSpaceMB = 100;
// How long a game window is given to close when the launcher stops it.
constexpr int kCloseWindowWaitMs = 15000;
// What the running transfer or update worker is given to see a stop.
constexpr auto kStopGrace = std::chrono::milliseconds(20);

}  // namespace

TGameLauncher::TGameLauncher() : TGameLauncher(DefaultLaunchServices()) {}

TGameLauncher::TGameLauncher(TLaunchServices Services) : Services_(std::move(Services)) {
  std::memset(&UpdateRec_, 0, sizeof UpdateRec_);
}

TGameLauncher::~TGameLauncher() { Destroy(); }

void TGameLauncher::SetGameInfo(std::string_view GameId, bool MultiRun, int32_t DiskSizeMB,
                                std::string_view UpdateInfo, std::string_view PluginDir) {
  GameId_ = GameId;
  MultiRun_ = MultiRun;
  UpdateInfo_ = UpdateInfo;
  PluginDir_ = PluginDir;
  // Twice the size, in 64 bits: a size whose double does not fit is as
  // good as unlimited, and no disk has that much free.
  const int64_t doubled = int64_t{DiskSizeMB} * 2;
  RequiredSpaceMB_ = static_cast<int32_t>(std::clamp<int64_t>(doubled, kMinimumSpaceMB, INT32_MAX));
}

void TGameLauncher::SetDownloader(TFileDownloaderClass DownloaderClass, std::string_view InitUrl,
                                  std::string_view UpdateUrl, int32_t InitVersion, int32_t UpdateVersion) {
  Downloader_ = DownloaderClass();
  Downloader_->InitUrl = InitUrl;
  Downloader_->UpdateUrl = UpdateUrl;
  Downloader_->InitTargetVersion = InitVersion;
  Downloader_->UpdateTargetVersion = UpdateVersion;
}

void TGameLauncher::ChangeState(TLaunchState NewState) {
  if (State_ == lsFailed) return;
  State_ = NewState;
  if (NewState == lsRunning && OnGameRunning) OnGameRunning(*this);
}

void TGameLauncher::Fail(TLaunchError Code) {
  if (State_ == lsFailed) return;
  ErrorCode_ = Code;
  State_ = lsFailed;
  if (OnLaunchError) OnLaunchError(*this, Code);
}

void TGameLauncher::Start() {
  // Every start leaves the idle state, whatever its outcome.
  if (State_ != lsIdle) return;
  try {
    Register_ = std::make_unique<TGameRegister>(PluginDir_, *Services_.Files);
    Locks_ = std::make_unique<TGameLocks>(GameId_);
    if (!Locks_->OpenMutex()) return Fail(leMutexFailed);
    if (!Locks_->OpenSemaphore()) return Fail(leSemaphoreFailed);
    InstallPath_ = Register_->GetPath(GameId_);
    // A folder that others can change may hold their code by now; the
    // record stays for the user to repair.
    if (!InstallPath_.empty() && !RecordedFolderIsSafe(Services_, PluginDir_, InstallPath_))
      return Fail(leInstallPath);
    if (InstallPath_.empty()) {
      InstallPath_ = ChooseInstallFolder(Services_, PluginDir_, GameId_, RequiredSpaceMB_);
      if (InstallPath_.empty()) return Fail(leInstallPath);
      NewInstall_ = true;
    }
    if (!Downloader_) throw EQelError("the launcher has no downloader");
    Downloader_->IgnoreVersionFile = NewInstall_;
    Downloader_->GameGuid = GameId_;
    // An unreadable "dataver.dat" fails the launch where the page sees it.
    Downloader_->SetDataDir(InstallPath_);
  } catch (const std::exception&) {
    return Fail(leInternal);
  }
  Acquire();
}

void TGameLauncher::Acquire() {
  try {
    if (!Locks_->TakeMutex()) return Fail(leGameBusy);
    if (NewInstall_ || Downloader_->NeedsDownload()) {
      if (!Locks_->TakeUnits(kRunSemaphoreUnits)) {
        Locks_->ReleaseMutex();
        return Fail(leGameBusy);
      }
      // The mutex stays held until the download ends.
      ChangeState(lsDownloading);
      Downloader_->StartNext();
      return;
    }
    if (ReadConfig()) {
      if (Locks_->TakeUnits(NeededUnits())) {
        ChangeState(lsUpdatePending);
      } else {
        Fail(leGameBusy);
      }
    }
    Locks_->ReleaseMutex();
  } catch (const std::exception&) {
    Fail(leInternal);
    try {
      Locks_->ReleaseMutex();
    } catch (const std::exception&) {
      // Closing the mutex at destruction releases it.
    }
  }
}

bool TGameLauncher::ReadConfig() {
  try {
    Config_ = std::make_unique<TConfigReader>(InstallPath_ + "config.ini", *Services_.Files);
    return true;
  } catch (const std::exception&) {
    Fail(leConfigInvalid);
    return false;
  }
}

void TGameLauncher::Tick() {
  try {
    switch (State_) {
      case lsDownloading:
        TickDownload();
        break;
      case lsUpdatePending:
        Downloader_.reset();
        RunUpdateStep();
        break;
      case lsUpdating:
        TickUpdate();
        break;
      case lsStarting:
        SearchGameWindow();
        break;
      case lsRunning:
      case lsFailed:
        Config_.reset();
        break;
      case lsIdle:
      case lsReady:
        break;
    }
    PollPicture(Background_, OnBackgroundLoaded);
    PollPicture(Bar_, OnBarLoaded);
    PollPicture(Step_, OnStepLoaded);
  } catch (const std::exception&) {
    Fail(leInternal);
  }
}

void TGameLauncher::TickDownload() {
  Downloader_->Poll();
  const int32_t progress = Downloader_->GetProgress();
  if (progress == 100) {
    if (ReadConfig()) {
      Locks_->KeepUnits(NeededUnits());
      ChangeState(lsUpdatePending);
      if (NewInstall_) RecordInstallFolder();
    }
    Locks_->ReleaseMutex();
  } else if (progress < 0) {
    Fail(leDownloadFailed);
    Locks_->KeepUnits(0);
    Locks_->ReleaseMutex();
  }
}

void TGameLauncher::RecordInstallFolder() {
  const bool own_folder = InstallPath_ == PluginDir_ + GameId_ + kPathDelimiter;
  const std::string folder = own_folder ? std::string(kDefaultPathText) : InstallPath_;
  if (!Register_->AddRecord(GameId_, folder)) Fail(leInstallPath);
}

void TGameLauncher::RunUpdateStep() {
  if (!Config_ || !Config_->MatchesGuid(GameId_)) return Fail(leGuidMismatch);
  UpdateModulePath_ = InstallPath_ + Config_->UpdateModule();
  AddToSearchPath(InstallPath_);
  UpdateModule_ = LoadGameModule(*Services_.Modules, InstallPath_, UpdateModulePath_);
  if (!UpdateModule_) return Fail(leUpdateModuleLoad);
  const TUpdateGameProc update_game = FindUpdateGame(*UpdateModule_);
  if (update_game == nullptr) return Fail(leUpdateEntryMissing);
  UpdateRec_ = MakeUpdateGameRec(UpdateInfo_);
  if (update_game(&UpdateRec_) != 0) return Fail(leUpdateFailed);
  ChangeState(lsUpdating);
}

void TGameLauncher::TickUpdate() {
  const uint8_t status = ReadStatus(UpdateRec_);
  if (status == 1) {
    ChangeState(lsReady);
  } else if (status == 2 || status == 3) {
    Fail(leUpdateFailed);
  }
}

void TGameLauncher::SetLaunchInfo(std::string_view Account, std::string_view Password, std::string_view RunInfo,
                                  int32_t SrcId, int32_t DbId, int32_t GsId) {
  LaunchInfo_.Account = Account;
  LaunchInfo_.Password = Password;
  LaunchInfo_.RunInfo = RunInfo;
  LaunchInfo_.SrcId = SrcId;
  LaunchInfo_.DbId = DbId;
  LaunchInfo_.GsId = GsId;
}

void TGameLauncher::Launch(TWindowHandle HostWindow) {
  if (State_ != lsReady) return;
  try {
    if (!Config_) return Fail(leConfigInvalid);
    HostWindow_ = HostWindow;
    InitKind_ = Config_->InitKind();
    InitModulePath_ = InstallPath_ + Config_->InitModule();
    if (InitKind_ == 1) {
      LaunchThroughModule();
    } else if (InitKind_ == 2) {
      LaunchAsProcess();
    } else {
      Fail(leConfigInvalid);
    }
  } catch (const std::exception&) {
    // Launch runs from the page's property write, outside any Tick; its
    // failures end the launch the same way.
    Fail(leInternal);
  }
}

void TGameLauncher::LaunchThroughModule() {
  InitModule_ = LoadGameModule(*Services_.Modules, InstallPath_, InitModulePath_);
  if (!InitModule_) return Fail(leInitModuleLoad);
  const TInitGameProc init_game = FindInitGame(*InitModule_);
  if (init_game == nullptr) return Fail(leInitEntryMissing);
  const TWindowSize size = Services_.Windows->ClientSize(HostWindow_);
  TInitGameArgs args;
  args.ParentWindow = HostWindow_;
  args.ParentWidth = size.Width;
  args.ParentHeight = size.Height;
  args.SrcId = LaunchInfo_.SrcId;
  args.Account = LaunchInfo_.Account;
  args.Password = LaunchInfo_.Password;
  args.DbId = LaunchInfo_.DbId;
  args.GsId = LaunchInfo_.GsId;
  args.RunInfo = LaunchInfo_.RunInfo;
  TInitGameIn in = MakeInitGameIn(args);
  TInitGameOut out = MakeInitGameOut();
  if (init_game(&in, &out) != 0) return Fail(leInitFailed);
  GameWindow_ = out.GameWindow;
  ChangeState(lsRunning);
}

void TGameLauncher::LaunchAsProcess() {
  ProcessId_ = 0;
  try {
    // The command line is anyone's to read; a game that reads its
    // environment gets the password there alone.
    const std::string parameters = BuildGameParameters(LaunchInfo_);
    if (Config_ && Config_->ParametersFromEnvironment()) {
      TLaunchInfo shown = LaunchInfo_;
      shown.Password.clear();
      ProcessId_ = Services_.StartProcess(InitModulePath_, BuildGameParameters(shown), InstallPath_, parameters);
    } else {
      ProcessId_ = Services_.StartProcess(InitModulePath_, parameters, InstallPath_, "");
    }
  } catch (const std::exception&) {
    return Fail(leProcessStart);
  }
  ChangeState(lsStarting);
  SearchGameWindow();
}

void TGameLauncher::SearchGameWindow() {
  TEnumData data;
  data.ClassName = Config_ ? Config_->WndClassName() : std::string();
  data.Title = Config_ ? Config_->WndTitle() : std::string();
  data.ProcessId = ProcessId_;
  FindGameWindow(*Services_.Windows, data);
  if (!data.Found) return;
  // The process is never ended by the launcher; it is only let go.
  ProcessId_ = 0;
  if (!EmbedWindow(*Services_.Windows, data.Window, HostWindow_)) return Fail(leWindowEmbed);
  GameWindow_ = data.Window;
  ChangeState(lsRunning);
}

void TGameLauncher::AbortGame() {
  switch (State_) {
    case lsDownloading:
      try {
        Downloader_->AbortDownload();
      } catch (const std::exception&) {
        // The bytes received may not be kept; the abort goes on.
      }
      std::this_thread::yield();
      Fail(leAborted);
      Locks_->KeepUnits(0);
      Locks_->ReleaseMutex();
      break;
    case lsUpdatePending:
    case lsReady:
    case lsStarting:
      Fail(leAborted);
      break;
    case lsUpdating:
      // The module's status decides; the next ticks follow it.
      RequestStop(UpdateRec_);
      std::this_thread::yield();
      break;
    case lsRunning:
      CloseGameWindow();
      Fail(leAborted);
      break;
    case lsIdle:
    case lsFailed:
      break;
  }
}

void TGameLauncher::CloseGameWindow() {
  if (GameWindow_ != 0 && Services_.Windows->IsWindow(GameWindow_)) {
    Services_.Windows->CloseWindow(GameWindow_, kCloseWindowWaitMs);
  }
  GameWindow_ = 0;
}

void TGameLauncher::LoadBackground(std::string_view Url) { LoadPicture(Background_, Url); }

void TGameLauncher::LoadBarImages(std::string_view BarUrl, std::string_view StepUrl) {
  LoadPicture(Bar_, BarUrl);
  LoadPicture(Step_, StepUrl);
}

void TGameLauncher::LoadPicture(TPicture& Picture, std::string_view Url) {
  if (Url.empty() || Url == Picture.Url) return;
  try {
    Picture.Url = Url;
    Picture.Request = std::make_unique<THttpRequest>();
    Picture.Request->Start(AnsiToUtf16(Url), 0);
  } catch (const std::exception&) {
    // The picture is simply not shown.
  }
}

void TGameLauncher::PollPicture(TPicture& Picture, const TPictureEvent& Handler) {
  if (!Picture.Request) return;
  Picture.Request->Poll();
  if (Picture.Request->State() != rsDone) return;
  // Taken first: the handler may ask for another picture.
  const std::unique_ptr<THttpRequest> done = std::move(Picture.Request);
  try {
    if (Handler && done->Data() != nullptr) Handler(*this, *done->Data());
  } catch (const std::exception&) {
    // A picture that cannot be shown never fails the launch.
  }
}

int32_t TGameLauncher::GetProgress() const {
  switch (State_) {
    case lsIdle:
      return 0;
    case lsDownloading:
    case lsUpdatePending: {
      const int32_t percent = Downloader_ ? Downloader_->GetProgress() : 100;
      return percent <= 0 ? 0 : percent * 9 / 10;
    }
    case lsUpdating:
      return std::min(99, 90 + ReadProgress(UpdateRec_) / 10);
    case lsReady:
    case lsStarting:
    case lsRunning:
      return 100;
    case lsFailed:
      return -ErrorCode_;
  }
  return 0;
}

int32_t TGameLauncher::GetShowKind() const {
  if (State_ == lsRunning) return 1;
  if (State_ == lsFailed) return -ErrorCode_;
  return 0;
}

void TGameLauncher::Destroy() {
  ProcessId_ = 0;
  try {
    if (State_ == lsDownloading) {
      Downloader_->AbortDownload();
      std::this_thread::sleep_for(kStopGrace);
      Locks_->ReleaseMutex();
    } else if (State_ == lsUpdating) {
      RequestStop(UpdateRec_);
      std::this_thread::sleep_for(kStopGrace);
    }
  } catch (const std::exception&) {
    // Going away regardless; closing the objects below releases them.
  }
  try {
    CloseGameWindow();
  } catch (const std::exception&) {
    // The window's own process deals with it.
  }
  Downloader_.reset();
  Config_.reset();
  if (UpdateModule_) {
    // The module's worker runs in its code: unloading it first would pull
    // the code from under the worker.
    if (const uint32_t handle = ReadWaitHandle(UpdateRec_); handle != 0) WaitForModuleHandle(handle);
    UpdateModule_.reset();
  }
  InitModule_.reset();
  if (Locks_) Locks_->Close();
  for (TPicture* picture : {&Background_, &Bar_, &Step_}) {
    try {
      if (picture->Request &&
          (picture->Request->State() == rsHead || picture->Request->State() == rsGet)) {
        picture->Request->Abort();
        std::this_thread::yield();
      }
    } catch (const std::exception&) {
      // Freed below regardless.
    }
    picture->Request.reset();
  }
  Register_.reset();
}

}  // namespace qel
