// The launcher's plug-in instance: one per embedded "application/qellauncher"
// object. It holds every value the page supplies until the launch needs it,
// and answers the page's property reads and writes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "host/Plugin.h"

namespace qel {

// The plug-in version as the page reads it: one byte each for major (2),
// minor (0) and release (1).
inline constexpr int32_t kQelVersion = 0x020001;

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
  ~TFormLoaderPlugin() override;

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

  const TLauncherSettings& Settings() const { return Settings_; }
  bool Started() const { return Started_; }
  bool Aborted() const { return Aborted_; }
  bool GameRunning() const { return GameRunning_; }

 private:
  explicit TFormLoaderPlugin(const TPluginCreateArgs& args);
  void ApplyEmbedAttributes();

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

  TLauncherSettings Settings_;
  bool Started_ = false;
  bool Aborted_ = false;
  bool GameRunning_ = false;
};

}  // namespace qel
