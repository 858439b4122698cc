// The launcher's script object: what the page sees of the plug-in element.
// Only properties, no methods; reads and writes land in the instance's tables.
#pragma once

#include "host/ScriptablePluginObject.h"

namespace qel {

class TFormLoaderPlugin;

class TQELScriptableObject : public TScriptablePluginObject {
 public:
  explicit TQELScriptableObject(TFormLoaderPlugin& plugin);

  bool HasMethod(NPIdentifier name) override;
  bool Invoke(NPIdentifier name, const NPVariant* args, uint32_t count,
              NPVariant* result) override;
  bool InvokeDefault(const NPVariant* args, uint32_t count, NPVariant* result) override;
  bool HasProperty(NPIdentifier name) override;
  bool GetProperty(NPIdentifier name, NPVariant* result) override;
  bool SetProperty(NPIdentifier name, const NPVariant* value) override;
  bool RemoveProperty(NPIdentifier name) override;
  bool Enumerate(NPIdentifier** names, uint32_t* count) override;
  bool Construct(const NPVariant* args, uint32_t count, NPVariant* result) override;

 private:
  TFormLoaderPlugin* Launcher() const;
};

}  // namespace qel
