#include "RecordingPlugin.h"

#include "host/PluginRegistry.h"
#include "platform/Error.h"

namespace qel::test {

namespace {

// Answers one property while its instance lives; fails on "throw".
class TRecordingScriptObject : public TScriptablePluginObject {
 public:
  explicit TRecordingScriptObject(TPlugin& plugin) : TScriptablePluginObject(plugin) {
    ++Recording().ScriptObjectsAlive;
  }
  ~TRecordingScriptObject() override { --Recording().ScriptObjectsAlive; }

  bool HasProperty(NPIdentifier) override { return Plugin() != nullptr; }
  bool GetProperty(NPIdentifier, NPVariant* result) override {
    if (Plugin() == nullptr) return false;
    result->type = NPVariantType_Int32;
    result->value.intValue = 5;
    return true;
  }
  bool HasMethod(NPIdentifier) override { throw EQelError("script failure"); }
};

const bool kRegistered = [] {
  Plugins().RegisterPlugin(&TRecordingPlugin::Create, kRecordingMime);
  return true;
}();

std::string HandleText(TWindowHandle handle) { return std::to_string(handle); }

}  // namespace

TRecording& Recording() {
  static TRecording recording;
  return recording;
}

std::unique_ptr<TPlugin> TRecordingPlugin::Create(const TPluginCreateArgs& args) {
  if (Recording().ThrowOnCreate) throw EQelError("refused");
  return std::unique_ptr<TPlugin>(new TRecordingPlugin(args));
}

TRecordingPlugin::TRecordingPlugin(const TPluginCreateArgs& args) : TPlugin(args) {}

TRecordingPlugin::~TRecordingPlugin() {
  Recording().PdataAtDestruction = Instance()->pdata;
  Recording().Calls.push_back("Destroyed");
}

void TRecordingPlugin::DetachWindow() {
  Recording().Calls.push_back("Detach " + HandleText(WindowHandle()));
}

void TRecordingPlugin::AttachWindow() {
  Recording().Calls.push_back("Attach " + HandleText(WindowHandle()));
}

void TRecordingPlugin::WindowChanged() {
  if (Recording().ThrowOnWindowChanged) throw EQelError("window failure");
  Recording().Calls.push_back("Changed");
}

void TRecordingPlugin::StreamProgress(TURLStream&, int32_t bytes, int32_t total) {
  Recording().Calls.push_back("Progress " + std::to_string(bytes) + "/" + std::to_string(total));
}

void TRecordingPlugin::StreamDone(TURLStream&, NPReason reason) {
  Recording().Calls.push_back("Done " + std::to_string(reason));
}

std::unique_ptr<TScriptablePluginObject> TRecordingPlugin::CreateScriptableObject() {
  if (!Recording().WithScriptObject) return nullptr;
  return std::make_unique<TRecordingScriptObject>(*this);
}

TStreamMode TRecordingPlugin::GetStreamMode(const char*, const char*) {
  return Recording().StreamMode;
}

}  // namespace qel::test
