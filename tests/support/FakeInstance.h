// One plug-in instance on the fake page: the NPP the browser made for an
// <embed>, driven through the plug-in's NPPluginFuncs as a browser does.
#pragma once

#include "ObjectRef.h"
#include "host/NPApi.h"

namespace qel::test {

class FakeBrowser;

class FakeInstance {
 public:
  // Destroys the instance unless that already happened.
  ~FakeInstance();
  FakeInstance(const FakeInstance&) = delete;
  FakeInstance& operator=(const FakeInstance&) = delete;

  NPP Npp() { return &npp_; }
  bool Destroyed() const { return destroyed_; }

  // NPP_Destroy, once; later calls answer NPERR_NO_ERROR and do nothing.
  // Saved data the plug-in hands back is freed as the browser would.
  NPError Destroy();
  NPError SetWindow(NPWindow* window);
  NPError GetValue(NPPVariable variable, void* value);
  // NPP_GetValue(NPPVpluginScriptableNPObject); the holder owns the
  // reference the plug-in handed out. Empty on failure.
  ObjectRef ScriptObject(NPError* result = nullptr);

 private:
  friend class FakeBrowser;
  explicit FakeInstance(FakeBrowser& browser);
  // The browser goes away first: it destroys the instance and lets go.
  void Detach() { browser_ = nullptr; }

  FakeBrowser* browser_;
  NPP_t npp_{};
  bool destroyed_ = false;
};

}  // namespace qel::test
