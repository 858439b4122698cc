// The launcher's plug-in instance: one per embedded "application/qellauncher"
// object. It holds every value the page supplies until the launch needs it,
// answers the page's property reads and writes, and owns what does the work:
// the form with its window and 50 ms timer, the launch workflow (or, in
// manage mode, the manager) and, once the game runs, the game's message
// channel. Its timer tick steps the workflow and carries out the game's
// requests against the page.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "host/NPPropRes.h"
#include "host/Plugin.h"
#include "launch/GameLauncher.h"
#include "launch/GameManager.h"
#include "launcher/InstanceServices.h"
#include "launcher/PluginForm.h"
#include "launcher/PluginHostWindow.h"
#include "msg/MsgReceiver.h"
#include "msg/MsgSender.h"

namespace qel {

class TURLDownloader;

// The plug-in version as the page reads it: one byte each for major (2),
// minor (0) and release (1).
inline constexpr int32_t kQelVersion = 0x020001;

// The background picture covers this much of the plug-in's area, from its
// top left.
inline constexpr int32_t kPictureAreaWidth = 1024;
inline constexpr int32_t kPictureAreaHeight = 768;

// What the page configures, through embed attributes or script writes.
struct TLauncherSettings {
  std::string gameguid;
  int32_t gamever = 0;
  bool manage = false;
  bool multirun = false;
  bool unicodeparam = false;
  std::string initdata;
  std::string updatedata;
  int32_t initver = 0;
  int32_t updatever = 0;
  int32_t disksize = 0;
  int32_t srcid = 0;
  int32_t dbid = 0;
  int32_t gsid = 0;
  std::string logid;
  std::string logcode;
  std::string bgpic;
  std::string barpng;
  std::string steppng;
  int32_t bar_x = 0;
  int32_t bar_y = 0;
  int32_t step_x = 0;
  int32_t step_y = 0;
  std::string ftpinfo;
  std::string runinfo;
};

class TFormLoaderPlugin : public TPlugin {
 public:
  static std::unique_ptr<TPlugin> Create(const TPluginCreateArgs& args);
  // Timer off, then the workflow (which closes a running game), the
  // manager, the message channel and last the form.
  ~TFormLoaderPlugin() override;

  void AttachWindow() override;
  void WindowChanged() override;
  NPError SetWindow(NPWindow* window) override;
  NPError GetValue(NPPVariable variable, void* value) override;
  std::unique_ptr<TScriptablePluginObject> CreateScriptableObject() override;
  TStreamMode GetStreamMode(const char* mime_type, const char* url) override;
  NPError NewStream(const char* mime_type, NPStream* stream, NPBool seekable,
                    uint16_t* stream_type) override;

  // The page's property tables. Names come in the caller's letter case; an
  // unknown name reads as empty, 0 or false and is not written.
  bool IsStringProperty(std::string_view name) const;
  std::string GetStringProperty(std::string_view name) const;
  void SetStringProperty(std::string_view name, const std::string& value);
  bool IsNumberProperty(std::string_view name) const;
  int32_t GetNumberProperty(std::string_view name) const;
  void SetNumberProperty(std::string_view name, int32_t value);
  bool IsFlagProperty(std::string_view name) const;
  bool GetFlagProperty(std::string_view name) const;
  void SetFlagProperty(std::string_view name, bool value);

  // The form's timer handler: in manage mode makes the manager and stops
  // for good; otherwise keeps the window over the element, makes the
  // workflow once there is a window, steps it, and serves the game.
  void TimerTick();
  // Carries out every request the game has queued, oldest first.
  void PumpGameRequests();
  // Answers a call request with the page's result as reply values.
  void ReplyWithResult(uint8_t kind, int32_t id, const INPPropRes& result);

  const TLauncherSettings& Settings() const { return Settings_; }
  bool Started() const { return Started_; }
  bool Aborted() const { return Aborted_; }
  bool GameRunning() const { return GameRunning_; }
  TfrmPlugin& Form() { return *Form_; }
  TPluginHostWindow& HostWindow() { return *HostWindow_; }
  TGameLauncher* Launcher() const { return Launcher_.get(); }
  TGameManager* Manager() const { return Manager_.get(); }
  TQEL_MsgSender* MsgSender() const { return MsgSender_.get(); }
  TQEL_MsgReceiver* MsgReceiver() const { return MsgReceiver_.get(); }

 private:
  explicit TFormLoaderPlugin(const TPluginCreateArgs& args);
  void ApplyEmbedAttributes();
  void CreateWorkflow();
  void ShowDisplay();
  // The workflow's downloader when it fetches through the browser.
  TURLDownloader* BrowserDownloader() const;
  // The form's bounds: the inside of the instance's window.
  void FitFormToWindow();
  // The form filling the instance's window, as its child.
  void PutFormInWindow();
  void OnGameRunning(TGameLauncher& launcher);
  // The reply value for one plain value of the page.
  TQEL_Variant ReplyValue(const TVariant& value) const;

  // Actions behind the flag writes.
  void StartGame();
  void AbortGame();
  void ResetData();
  void RemoveGame();
  // The folder behind installpath.
  std::string InstallPath() const;
  // What nowprogress, showkind and errcode report.
  int32_t Progress() const;
  int32_t ShowKind() const;
  int32_t ErrorCode() const;

  // Copied at construction: a test's later change reaches new instances only.
  TInstanceServices Services_;
  TLaunchServices LaunchServices_;
  // Declared before the form, so that the form's window, its child, goes first.
  std::unique_ptr<TPluginHostWindow> HostWindow_;
  std::unique_ptr<TfrmPlugin> Form_;
  TLauncherSettings Settings_;
  std::unique_ptr<TGameManager> Manager_;
  std::unique_ptr<TGameLauncher> Launcher_;
  std::unique_ptr<TQEL_MsgSender> MsgSender_;
  std::unique_ptr<TQEL_MsgReceiver> MsgReceiver_;
  bool Started_ = false;
  bool Aborted_ = false;
  bool GameRunning_ = false;
};

}  // namespace qel
