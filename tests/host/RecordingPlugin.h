// A plug-in class of the tests' own, registered for its own MIME type, that
// records what the host layer asks of it.
#pragma once

#include <string>
#include <vector>

#include "host/Plugin.h"

namespace qel::test {

inline constexpr const char kRecordingMime[] = "application/x-qel-recording";

struct TRecording {
  std::vector<std::string> Calls;
  TStreamMode StreamMode = smFile;
  bool ThrowOnCreate = false;
  bool ThrowOnWindowChanged = false;
  bool WithScriptObject = false;
  // What pdata held while the destructor ran.
  void* PdataAtDestruction = reinterpret_cast<void*>(1);
  int ScriptObjectsAlive = 0;
};

// The recording of the test that runs now; reset by each fixture.
TRecording& Recording();

class TRecordingPlugin : public TPlugin {
 public:
  static std::unique_ptr<TPlugin> Create(const TPluginCreateArgs& args);
  ~TRecordingPlugin() override;

  void DetachWindow() override;
  void AttachWindow() override;
  void WindowChanged() override;
  void StreamProgress(TURLStream& stream, int32_t bytes, int32_t total) override;
  void StreamDone(TURLStream& stream, NPReason reason) override;
  std::unique_ptr<TScriptablePluginObject> CreateScriptableObject() override;
  TStreamMode GetStreamMode(const char* mime_type, const char* url) override;

 private:
  explicit TRecordingPlugin(const TPluginCreateArgs& args);
};

}  // namespace qel::test
