// How a browser's script engine reaches an NPObject: through the object's own
// class. Used both for the plug-in's NPN_Invoke/GetProperty/... calls and
// for a test's script calls into the plug-in's objects.
#pragma once

#include "BrowserLog.h"
#include "ObjectRegistry.h"
#include "host/NPApi.h"

namespace qel::test {

class ScriptEngine {
 public:
  ScriptEngine(ObjectRegistry& objects, BrowserLog& log) : objects_(objects), log_(log) {}

  // Each answers false when the object is not live (recorded as a fault) or
  // its class lacks the operation. `result` is made void before the call.
  bool HasMethod(NPObject* object, NPIdentifier name);
  bool Invoke(NPObject* object, NPIdentifier name, const NPVariant* args, uint32_t argCount,
              NPVariant* result);
  bool InvokeDefault(NPObject* object, const NPVariant* args, uint32_t argCount, NPVariant* result);
  bool HasProperty(NPObject* object, NPIdentifier name);
  bool GetProperty(NPObject* object, NPIdentifier name, NPVariant* result);
  bool SetProperty(NPObject* object, NPIdentifier name, const NPVariant* value);
  bool RemoveProperty(NPObject* object, NPIdentifier name);
  // The array comes from NPN_MemAlloc (the caller frees it).
  bool Enumerate(NPObject* object, NPIdentifier** names, uint32_t* count);
  bool Construct(NPObject* object, const NPVariant* args, uint32_t argCount, NPVariant* result);

 private:
  // The class of a live object; null (and a fault) otherwise.
  NPClass* ClassOf(NPObject* object, const char* operation);

  ObjectRegistry& objects_;
  BrowserLog& log_;
};

}  // namespace qel::test
