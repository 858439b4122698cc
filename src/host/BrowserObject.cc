#include "host/BrowserObject.h"

#include <string>

#include "host/NPFuncs.h"
#include "host/NPRuntime.h"
#include "platform/AnsiText.h"

namespace qel {
namespace {

// A result the browser filled, given back to it when the reader is done,
// also when reading it fails.
class TBrowserResult {
 public:
  TBrowserResult() { Value_.type = NPVariantType_Void; }
  ~TBrowserResult() {
    if (Filled_) NPN_ReleaseVariantValue(&Value_);
  }
  TBrowserResult(const TBrowserResult&) = delete;
  TBrowserResult& operator=(const TBrowserResult&) = delete;

  NPVariant* Out() { return &Value_; }
  const NPVariant& Value() const { return Value_; }
  // The browser call answered true: the value is the caller's to release.
  void MarkFilled() { Filled_ = true; }

 private:
  NPVariant Value_{};
  bool Filled_ = false;
};

NPIdentifier NameIdentifier(std::string_view name) {
  const std::string utf8 = AnsiToUtf8(name);
  return NPN_GetStringIdentifier(utf8.c_str());
}

// A successful call's result as the system holds it.
std::unique_ptr<INPPropRes> ReadResult(NPP instance, bool answered, TBrowserResult& result) {
  if (!answered) return nullptr;
  result.MarkFilled();
  return std::make_unique<TNPPropRes>(instance, result.Value());
}

}  // namespace

TBrowserObject::TBrowserObject(NPP instance, ::NPObject* object)
    : Instance_(instance), NPObject_(NPN_RetainObject(object)) {}

TBrowserObject::~TBrowserObject() { NPN_ReleaseObject(NPObject_); }

std::unique_ptr<TBrowserObject> TBrowserObject::Adopt(NPP instance, ::NPObject* object) {
  std::unique_ptr<TBrowserObject> wrapper;
  try {
    wrapper = std::make_unique<TBrowserObject>(instance, object);
  } catch (...) {
    NPN_ReleaseObject(object);
    throw;
  }
  NPN_ReleaseObject(object);
  return wrapper;
}

std::unique_ptr<INPPropRes> TBrowserObject::Evaluate(std::string_view script) {
  try {
    const std::string utf8 = AnsiToUtf8(script);
    NPString text{utf8.data(), static_cast<uint32_t>(utf8.size())};
    TBrowserResult result;
    const bool answered = NPN_Evaluate(Instance_, NPObject_, &text, result.Out());
    return ReadResult(Instance_, answered, result);
  } catch (...) {
    return nullptr;
  }
}

std::unique_ptr<INPPropRes> TBrowserObject::GetPropertyById(NPIdentifier name) {
  TBrowserResult result;
  const bool answered = NPN_GetProperty(Instance_, NPObject_, name, result.Out());
  return ReadResult(Instance_, answered, result);
}

std::unique_ptr<INPPropRes> TBrowserObject::GetProperty(std::string_view name) {
  return GetPropertyById(NameIdentifier(name));
}

std::unique_ptr<INPPropRes> TBrowserObject::GetElement(int32_t index) {
  return GetPropertyById(NPN_GetIntIdentifier(index));
}

std::unique_ptr<INPPropRes> TBrowserObject::Invoke(std::string_view method,
                                                   const std::vector<TVariant>& arguments) {
  try {
    const NPIdentifier name = NameIdentifier(method);
    // The converted arguments' string blocks are freed when the call is done.
    const TNPArguments converted(arguments);
    TBrowserResult result;
    const bool answered =
        NPN_Invoke(Instance_, NPObject_, name, converted.Data(), converted.Count(), result.Out());
    return ReadResult(Instance_, answered, result);
  } catch (...) {
    return nullptr;
  }
}

std::unique_ptr<TBrowserObject> TBrowserObject::GetPropertyObject(std::string_view name) {
  TBrowserResult result;
  if (!NPN_GetProperty(Instance_, NPObject_, NameIdentifier(name), result.Out())) return nullptr;
  result.MarkFilled();
  const NPVariant& value = result.Value();
  if (value.type != NPVariantType_Object || value.value.objectValue == nullptr) return nullptr;
  return std::make_unique<TBrowserObject>(Instance_, value.value.objectValue);
}

}  // namespace qel
