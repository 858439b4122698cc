#include "launcher/FormLoaderPlugin.h"

#include "launcher/NumericText.h"
#include "launcher/QELScriptableObject.h"
#include "launcher/URLDownloader.h"
#include "platform/AnsiText.h"

namespace qel {

std::unique_ptr<TPlugin> TFormLoaderPlugin::Create(const TPluginCreateArgs& args) {
  return std::unique_ptr<TPlugin>(new TFormLoaderPlugin(args));
}

TFormLoaderPlugin::TFormLoaderPlugin(const TPluginCreateArgs& args)
    : TPlugin(args),
      Services_(InstanceServices()),
      LaunchServices_(Services_.LaunchServices()),
      HostWindow_(std::make_unique<TPluginHostWindow>(args.Instance, *LaunchServices_.Windows)) {
  ApplyEmbedAttributes();
  Form_ = std::make_unique<TfrmPlugin>(*LaunchServices_.Windows);
  Form_->Timer1.SetHandler(this, &TFormLoaderPlugin::TimerTick);
  Form_->Timer1.SetEnabled(true);
}

TFormLoaderPlugin::~TFormLoaderPlugin() {
  Form_->Timer1.SetEnabled(false);
  Launcher_.reset();
  Manager_.reset();
  MsgSender_.reset();
  Form_->SetMsgReceiver(nullptr);
  MsgReceiver_.reset();
  Form_.reset();
  HostWindow_.reset();
}

// Attributes go through the same tables as script writes, in page order; a
// value that does not fit its property is ignored without a word. Browsers
// hand attributes over in UTF-8, like script strings, so they are brought to
// 8-bit text the same way.
void TFormLoaderPlugin::ApplyEmbedAttributes() {
  for (size_t i = 0; i < ParamNames().size(); ++i) {
    const std::string name = Utf8ToAnsi(ParamNames()[i]);
    const std::string value = Utf8ToAnsi(ParamValues()[i]);
    if (IsStringProperty(name)) {
      SetStringProperty(name, value);
    } else if (IsNumberProperty(name)) {
      if (std::optional<int32_t> number = ParseNumericText(value)) {
        SetNumberProperty(name, *number);
      }
    } else if (IsFlagProperty(name)) {
      std::string flag = AnsiLowerCase(value);
      if (flag == "true") SetFlagProperty(name, true);
      if (flag == "false") SetFlagProperty(name, false);
    }
  }
}

// ---- The window ---------------------------------------------------------------

NPError TFormLoaderPlugin::SetWindow(NPWindow* window) {
  if (window == nullptr || !HostWindow_->Windowless()) return TPlugin::SetWindow(window);
  NPWindow own = HostWindow_->Adopt(*window);
  return TPlugin::SetWindow(&own);
}

NPError TFormLoaderPlugin::GetValue(NPPVariable variable, void* value) {
  if (value != nullptr && (variable == NPPVpluginWindowBool || variable == NPPVpluginNeedsXEmbed)) {
    *static_cast<NPBool*>(value) = !HostWindow_->Windowless();
    return NPERR_NO_ERROR;
  }
  return TPlugin::GetValue(variable, value);
}

// A window that replaces another takes the form along once it has a parent.
void TFormLoaderPlugin::AttachWindow() {
  TPlugin::AttachWindow();
  if (WindowHandle() == 0) return;
  LaunchServices_.Windows->ClipChildren(WindowHandle());
  if (Form_ && Form_->ParentWindow() != 0) Form_->SetParentWindow(WindowHandle());
}

void TFormLoaderPlugin::WindowChanged() {
  TPlugin::WindowChanged();
  if (Form_ && WindowHandle() != 0) FitFormToWindow();
}

void TFormLoaderPlugin::FitFormToWindow() {
  const TWindowSize size = LaunchServices_.Windows->ClientSize(WindowHandle());
  Form_->SetBounds(0, 0, size.Width, size.Height);
}

void TFormLoaderPlugin::PutFormInWindow() {
  FitFormToWindow();
  Form_->SetParentWindow(WindowHandle());
}

// ---- Streams ------------------------------------------------------------------

std::unique_ptr<TScriptablePluginObject> TFormLoaderPlugin::CreateScriptableObject() {
  return std::make_unique<TQELScriptableObject>(*this);
}

TStreamMode TFormLoaderPlugin::GetStreamMode(const char*, const char*) { return smMemory; }

// Streams are wanted only by a workflow that fetches its data through the
// browser; with the HTTP downloader every offered stream is refused.
NPError TFormLoaderPlugin::NewStream(const char* mime_type, NPStream* stream, NPBool, uint16_t* stream_type) {
  TURLDownloader* downloader = BrowserDownloader();
  if (downloader == nullptr) return NPERR_GENERIC_ERROR;
  return downloader->AcceptStream(mime_type, stream, stream_type, *this);
}

TURLDownloader* TFormLoaderPlugin::BrowserDownloader() const {
  return Launcher_ ? dynamic_cast<TURLDownloader*>(Launcher_->Downloader()) : nullptr;
}

// ---- The workflow -------------------------------------------------------------

void TFormLoaderPlugin::TimerTick() {
  if (Settings_.manage) {
    // Stopped first: a manager that cannot be made is not tried every 50 ms.
    Form_->Timer1.SetEnabled(false);
    if (!Manager_) Manager_ = std::make_unique<TGameManager>(Services_.PluginDir(), *LaunchServices_.Files);
    return;
  }
  if (HostWindow_->FollowElement(*this)) WindowChanged();
  if (!Launcher_ && WindowHandle() != 0) CreateWorkflow();
  if (Launcher_) Launcher_->Tick();
  if (!Settings_.bgpic.empty() && !GameRunning_) Form_->SetProgress(Progress());
  if (MsgReceiver_) PumpGameRequests();
}

void TFormLoaderPlugin::CreateWorkflow() {
  Launcher_ = std::make_unique<TGameLauncher>(LaunchServices_);
  Launcher_->SetGameInfo(Settings_.gameguid, Settings_.multirun, Settings_.disksize, Settings_.ftpinfo,
                         Services_.PluginDir());
  Launcher_->SetDownloader(Services_.DownloaderClass, Settings_.initdata, Settings_.updatedata,
                           Settings_.initver, Settings_.updatever);
  // A downloader that fetches through the browser asks it on this instance's behalf.
  if (TURLDownloader* downloader = BrowserDownloader()) downloader->Plugin = this;
  Launcher_->OnGameRunning = [this](TGameLauncher& launcher) { OnGameRunning(launcher); };
  Launcher_->Start();
  if (!Settings_.bgpic.empty()) ShowDisplay();
}

// The progress display, with the pictures fetched by the workflow: the bar
// is tinted on the background unless both bar pictures are given.
void TFormLoaderPlugin::ShowDisplay() {
  PutFormInWindow();
  Form_->imgBG.Bounds = TRect::OfSize(0, 0, kPictureAreaWidth, kPictureAreaHeight);
  TProgressMode mode = pmTinted;
  if (!Settings_.steppng.empty() && !Settings_.barpng.empty()) {
    mode = pmImages;
    Launcher_->OnBarLoaded = [this](TGameLauncher&, const TMemoryStream& data) {
      Form_->SetBarImage(data, Settings_.bar_x, Settings_.bar_y);
    };
    Launcher_->OnStepLoaded = [this](TGameLauncher&, const TMemoryStream& data) {
      Form_->SetStepImage(data, Settings_.step_x, Settings_.step_y);
    };
    Launcher_->LoadBarImages(Settings_.barpng, Settings_.steppng);
  }
  Form_->ShowProgress(true, mode);
  Form_->SetVisible(true);
  Launcher_->OnBackgroundLoaded = [this](TGameLauncher&, const TMemoryStream& data) {
    Form_->SetBackgroundImage(data);
  };
  Launcher_->LoadBackground(Settings_.bgpic);
}

void TFormLoaderPlugin::OnGameRunning(TGameLauncher& launcher) {
  if (!MsgSender_) MsgSender_ = std::make_unique<TQEL_MsgSender>(launcher.GameWindow(), launcher.HostWindow());
  if (!MsgReceiver_) MsgReceiver_ = std::make_unique<TQEL_MsgReceiver>(launcher.GameWindow());
  Form_->SetMsgReceiver(MsgReceiver_.get());
  Form_->SetVisible(true);
  Form_->ShowProgress(false, pmHidden);
  GameRunning_ = true;
}

// Only a ready workflow starts the game; otherwise Started stays false and
// the page may write startapp again later. A form without a window (the
// instance's window has gone) has nowhere to put the game either.
void TFormLoaderPlugin::StartGame() {
  if (Started_ || !Launcher_ || Launcher_->State() != lsReady || WindowHandle() == 0) return;
  PutFormInWindow();
  if (Form_->Handle() == 0) return;
  Launcher_->SetLaunchInfo(Settings_.logid, Settings_.logcode, Settings_.runinfo, Settings_.srcid,
                           Settings_.dbid, Settings_.gsid);
  Launcher_->Launch(Form_->Handle());
  Started_ = true;
}

void TFormLoaderPlugin::AbortGame() {
  if (!Launcher_) return;
  Launcher_->AbortGame();
  Aborted_ = true;
}

void TFormLoaderPlugin::ResetData() {
  if (Manager_) Manager_->ResetData(Settings_.gameguid);
}

void TFormLoaderPlugin::RemoveGame() {
  if (Manager_) Manager_->RemoveGame(Settings_.gameguid);
}

std::string TFormLoaderPlugin::InstallPath() const {
  if (Launcher_) return Launcher_->InstallPath();
  if (Manager_) return Manager_->GetInstallPath(Settings_.gameguid);
  return {};
}

int32_t TFormLoaderPlugin::Progress() const { return Launcher_ ? Launcher_->GetProgress() : 0; }

int32_t TFormLoaderPlugin::ShowKind() const { return Launcher_ ? Launcher_->GetShowKind() : 0; }

int32_t TFormLoaderPlugin::ErrorCode() const {
  return Launcher_ && Launcher_->State() == lsFailed ? Launcher_->ErrorCode() : 0;
}

}  // namespace qel
