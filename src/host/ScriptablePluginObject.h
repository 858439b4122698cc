// The bridge between the browser's script objects (NPObject driven through an
// NPClass) and the system's: one NPClass for the whole library, whose object
// block carries a TScriptablePluginObject that answers the calls.
#pragma once

#include <cstdint>
#include <memory>

#include "host/NPApi.h"

namespace qel {

class TPlugin;

class TScriptablePluginObject {
 public:
  explicit TScriptablePluginObject(TPlugin& plugin);
  virtual ~TScriptablePluginObject() = default;
  TScriptablePluginObject(const TScriptablePluginObject&) = delete;
  TScriptablePluginObject& operator=(const TScriptablePluginObject&) = delete;

  virtual void Invalidate() {}
  virtual bool HasMethod(NPIdentifier name);
  virtual bool Invoke(NPIdentifier name, const NPVariant* args, uint32_t count, NPVariant* result);
  virtual bool InvokeDefault(const NPVariant* args, uint32_t count, NPVariant* result);
  virtual bool HasProperty(NPIdentifier name);
  virtual bool GetProperty(NPIdentifier name, NPVariant* result);
  virtual bool SetProperty(NPIdentifier name, const NPVariant* value);
  virtual bool RemoveProperty(NPIdentifier name);
  virtual bool Enumerate(NPIdentifier** names, uint32_t* count);
  virtual bool Construct(const NPVariant* args, uint32_t count, NPVariant* result);

  NPP Instance() const { return Instance_; }
  // True until the instance object is destroyed; after that the object must
  // not reach the instance any more.
  bool PluginAlive() const { return PluginAlive_; }
  void ClearPluginAlive() { PluginAlive_ = false; }

 protected:
  // The instance object, or null once it is gone.
  TPlugin* Plugin() const;

 private:
  NPP Instance_;
  bool PluginAlive_ = true;
};

// The block that the library's allocate callback returns: the NPObject header
// followed by the script object behind it (null when the instance had none).
struct TScriptableNPObject {
  NPObject Header;
  TScriptablePluginObject* Object;
};

// The library's one NPClass (structVersion 3, all twelve callbacks set).
NPClass* ScriptableClass();

// The script object behind a block of the library's class; null for any
// other object.
TScriptablePluginObject* ScriptObjectOf(NPObject* object);

}  // namespace qel
