#include "FakeInstance.h"

#include "FakeBrowser.h"

namespace qel::test {

FakeInstance::FakeInstance(FakeBrowser& browser) : browser_(&browser) { npp_.ndata = this; }

FakeInstance::~FakeInstance() { Destroy(); }

NPError FakeInstance::Destroy() {
  if (destroyed_ || browser_ == nullptr) return NPERR_NO_ERROR;
  destroyed_ = true;
  NPError error = NPERR_NO_ERROR;
  NPSavedData* saved = nullptr;
  // The NPP stays live during the call: the plug-in may still use it there.
  if (browser_->PluginFuncs().destroy != nullptr)
    error = browser_->PluginFuncs().destroy(&npp_, &saved);
  if (saved != nullptr) {
    // Saved data is the browser's from here on, and it is never used again.
    browser_->Memory().Free(saved->buf);
    browser_->Memory().Free(saved);
  }
  browser_->Forget(this);
  return error;
}

NPError FakeInstance::SetWindow(NPWindow* window) {
  if (destroyed_) return NPERR_INVALID_INSTANCE_ERROR;
  auto setWindow = browser_->PluginFuncs().setwindow;
  if (setWindow == nullptr) return NPERR_GENERIC_ERROR;
  return setWindow(&npp_, window);
}

NPError FakeInstance::GetValue(NPPVariable variable, void* value) {
  if (destroyed_) return NPERR_INVALID_INSTANCE_ERROR;
  auto getValue = browser_->PluginFuncs().getvalue;
  if (getValue == nullptr) return NPERR_GENERIC_ERROR;
  return getValue(&npp_, variable, value);
}

ObjectRef FakeInstance::ScriptObject(NPError* result) {
  NPObject* object = nullptr;
  const NPError error = GetValue(NPPVpluginScriptableNPObject, &object);
  if (result != nullptr) *result = error;
  if (error != NPERR_NO_ERROR || object == nullptr) return {};
  if (!browser_->IsLive(object)) {
    browser_->Log().Fault(FaultKind::Object,
                          "NPP_GetValue(NPPVpluginScriptableNPObject) answered " +
                              PointerText(object) + ", which is not a live object");
    return {};
  }
  return ObjectRef(browser_->Objects(), object);
}

}  // namespace qel::test
