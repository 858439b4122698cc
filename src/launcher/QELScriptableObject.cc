#include "launcher/QELScriptableObject.h"

#include <cmath>
#include <cstring>
#include <optional>

#include "host/NPRuntime.h"
#include "launcher/FormLoaderPlugin.h"
#include "launcher/NumericText.h"
#include "platform/AnsiText.h"

namespace qel {

namespace {

// A number written from script. Script engines of the WebKit family hand every
// script number over as a double, so a whole double within 32 signed bits
// counts as that integer; fractions, NaN, infinities and larger values do not.
std::optional<int32_t> NumberFromVariant(const NPVariant& value) {
  switch (value.type) {
    case NPVariantType_Int32:
      return value.value.intValue;
    case NPVariantType_String:
      return ParseNumericText(NPStringToString(&value.value.stringValue));
    case NPVariantType_Double: {
      double d = value.value.doubleValue;
      if (!std::isfinite(d) || d != std::trunc(d) || d < -2147483648.0 || d > 2147483647.0) {
        return std::nullopt;
      }
      return static_cast<int32_t>(d);
    }
    default:
      return std::nullopt;
  }
}

// Any non-zero byte is true, whatever the browser stored in the bool.
bool BoolFromVariant(const NPVariant& value) {
  unsigned char raw;
  std::memcpy(&raw, &value.value.boolValue, 1);
  return raw != 0;
}

}  // namespace

TQELScriptableObject::TQELScriptableObject(TFormLoaderPlugin& plugin)
    : TScriptablePluginObject(plugin) {}

TFormLoaderPlugin* TQELScriptableObject::Launcher() const {
  return static_cast<TFormLoaderPlugin*>(Plugin());
}

bool TQELScriptableObject::HasMethod(NPIdentifier) { return false; }
bool TQELScriptableObject::Invoke(NPIdentifier, const NPVariant*, uint32_t, NPVariant*) {
  return false;
}
bool TQELScriptableObject::InvokeDefault(const NPVariant*, uint32_t, NPVariant*) {
  return false;
}
bool TQELScriptableObject::RemoveProperty(NPIdentifier) { return false; }
bool TQELScriptableObject::Enumerate(NPIdentifier**, uint32_t*) { return false; }
bool TQELScriptableObject::Construct(const NPVariant*, uint32_t, NPVariant*) { return false; }

bool TQELScriptableObject::HasProperty(NPIdentifier name) {
  TFormLoaderPlugin* launcher = Launcher();
  if (launcher == nullptr) return false;
  std::string text = IdentifierToString(name);
  return launcher->IsStringProperty(text) || launcher->IsNumberProperty(text) ||
         launcher->IsFlagProperty(text);
}

bool TQELScriptableObject::GetProperty(NPIdentifier name, NPVariant* result) {
  TFormLoaderPlugin* launcher = Launcher();
  if (launcher == nullptr || result == nullptr) return false;
  std::string text = IdentifierToString(name);
  if (launcher->IsStringProperty(text)) {
    SetStringResult(result, AnsiToUtf8(launcher->GetStringProperty(text)));
    return true;
  }
  if (launcher->IsNumberProperty(text)) {
    SetInt32Result(result, launcher->GetNumberProperty(text));
    return true;
  }
  if (launcher->IsFlagProperty(text)) {
    SetBoolResult(result, launcher->GetFlagProperty(text));
    return true;
  }
  return false;
}

bool TQELScriptableObject::SetProperty(NPIdentifier name, const NPVariant* value) {
  TFormLoaderPlugin* launcher = Launcher();
  if (launcher == nullptr || value == nullptr) return false;
  std::string text = IdentifierToString(name);
  if (launcher->IsStringProperty(text)) {
    if (value->type != NPVariantType_String) return false;
    launcher->SetStringProperty(text, NPStringToString(&value->value.stringValue));
    return true;
  }
  if (launcher->IsNumberProperty(text)) {
    std::optional<int32_t> number = NumberFromVariant(*value);
    if (!number) return false;
    launcher->SetNumberProperty(text, *number);
    return true;
  }
  if (launcher->IsFlagProperty(text)) {
    if (value->type != NPVariantType_Bool) return false;
    launcher->SetFlagProperty(text, BoolFromVariant(*value));
    return true;
  }
  return false;
}

}  // namespace qel
