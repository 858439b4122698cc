#include "launcher/FormLoaderPlugin.h"

#include "launcher/NumericText.h"
#include "launcher/QELScriptableObject.h"
#include "platform/AnsiText.h"

namespace qel {

std::unique_ptr<TPlugin> TFormLoaderPlugin::Create(const TPluginCreateArgs& args) {
  return std::unique_ptr<TPlugin>(new TFormLoaderPlugin(args));
}

TFormLoaderPlugin::TFormLoaderPlugin(const TPluginCreateArgs& args) : TPlugin(args) {
  ApplyEmbedAttributes();
}

TFormLoaderPlugin::~TFormLoaderPlugin() = default;

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

std::unique_ptr<TScriptablePluginObject> TFormLoaderPlugin::CreateScriptableObject() {
  return std::make_unique<TQELScriptableObject>(*this);
}

TStreamMode TFormLoaderPlugin::GetStreamMode(const char*, const char*) { return smMemory; }

// Streams are wanted only by a workflow that fetches its data through the
// browser; this instance fetches over HTTP, so every offered stream is refused.
NPError TFormLoaderPlugin::NewStream(const char*, NPStream*, NPBool, uint16_t*) {
  return NPERR_GENERIC_ERROR;
}

// The launch workflow and the manager are created by the timer tick; until
// one exists the actions have nothing to act on and the reads report the
// idle values.
void TFormLoaderPlugin::StartGame() {}
void TFormLoaderPlugin::AbortGame() {}
void TFormLoaderPlugin::ResetData() {}
void TFormLoaderPlugin::RemoveGame() {}
std::string TFormLoaderPlugin::InstallPath() const { return {}; }
int32_t TFormLoaderPlugin::Progress() const { return 0; }
int32_t TFormLoaderPlugin::ShowKind() const { return 0; }
int32_t TFormLoaderPlugin::ErrorCode() const { return 0; }

}  // namespace qel
