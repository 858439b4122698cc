#include "host/ScriptablePluginObject.h"

#include "host/Plugin.h"
#include "platform/LastResort.h"

namespace qel {

TScriptablePluginObject::TScriptablePluginObject(TPlugin& plugin)
    : Instance_(plugin.Instance()) {}

TPlugin* TScriptablePluginObject::Plugin() const {
  if (!PluginAlive_ || Instance_ == nullptr) return nullptr;
  return static_cast<TPlugin*>(Instance_->pdata);
}

bool TScriptablePluginObject::HasMethod(NPIdentifier) { return false; }
bool TScriptablePluginObject::Invoke(NPIdentifier, const NPVariant*, uint32_t, NPVariant*) {
  return false;
}
bool TScriptablePluginObject::InvokeDefault(const NPVariant*, uint32_t, NPVariant*) {
  return false;
}
bool TScriptablePluginObject::HasProperty(NPIdentifier) { return false; }
bool TScriptablePluginObject::GetProperty(NPIdentifier, NPVariant*) { return false; }
bool TScriptablePluginObject::SetProperty(NPIdentifier, const NPVariant*) { return false; }
bool TScriptablePluginObject::RemoveProperty(NPIdentifier) { return false; }
bool TScriptablePluginObject::Enumerate(NPIdentifier**, uint32_t*) { return false; }
bool TScriptablePluginObject::Construct(const NPVariant*, uint32_t, NPVariant*) { return false; }

namespace {

TScriptablePluginObject* Behind(NPObject* object) {
  return object ? reinterpret_cast<TScriptableNPObject*>(object)->Object : nullptr;
}

// The browser's script engine calls these through C frames: a failure must
// end here, as a false answer, and never unwind into the browser.
template <class Call>
bool Guarded(NPObject* object, Call call) {
  TScriptablePluginObject* target = Behind(object);
  if (target == nullptr) return false;
  try {
    return call(*target);
  } catch (...) {
    ReportCurrentException();
    return false;
  }
}

NPObject* Allocate(NPP instance, NPClass* npclass) {
  auto* block = new (std::nothrow) TScriptableNPObject{{npclass, 1}, nullptr};
  if (block == nullptr) return nullptr;
  if (instance != nullptr && instance->pdata != nullptr) {
    try {
      block->Object = static_cast<TPlugin*>(instance->pdata)->CreateScriptableObject().release();
    } catch (...) {
      ReportCurrentException();
    }
  }
  return &block->Header;
}

void Deallocate(NPObject* object) {
  auto* block = reinterpret_cast<TScriptableNPObject*>(object);
  delete block->Object;
  delete block;
}

void Invalidate(NPObject* object) {
  Guarded(object, [](TScriptablePluginObject& o) {
    o.Invalidate();
    return true;
  });
}

bool HasMethod(NPObject* object, NPIdentifier name) {
  return Guarded(object, [&](TScriptablePluginObject& o) { return o.HasMethod(name); });
}

bool Invoke(NPObject* object, NPIdentifier name, const NPVariant* args, uint32_t count,
            NPVariant* result) {
  return Guarded(object,
                 [&](TScriptablePluginObject& o) { return o.Invoke(name, args, count, result); });
}

bool InvokeDefault(NPObject* object, const NPVariant* args, uint32_t count, NPVariant* result) {
  return Guarded(object,
                 [&](TScriptablePluginObject& o) { return o.InvokeDefault(args, count, result); });
}

bool HasProperty(NPObject* object, NPIdentifier name) {
  return Guarded(object, [&](TScriptablePluginObject& o) { return o.HasProperty(name); });
}

bool GetProperty(NPObject* object, NPIdentifier name, NPVariant* result) {
  return Guarded(object, [&](TScriptablePluginObject& o) { return o.GetProperty(name, result); });
}

bool SetProperty(NPObject* object, NPIdentifier name, const NPVariant* value) {
  return Guarded(object, [&](TScriptablePluginObject& o) { return o.SetProperty(name, value); });
}

bool RemoveProperty(NPObject* object, NPIdentifier name) {
  return Guarded(object, [&](TScriptablePluginObject& o) { return o.RemoveProperty(name); });
}

bool Enumerate(NPObject* object, NPIdentifier** names, uint32_t* count) {
  return Guarded(object, [&](TScriptablePluginObject& o) { return o.Enumerate(names, count); });
}

bool Construct(NPObject* object, const NPVariant* args, uint32_t count, NPVariant* result) {
  return Guarded(object,
                 [&](TScriptablePluginObject& o) { return o.Construct(args, count, result); });
}

NPClass Class = {NP_CLASS_STRUCT_VERSION_CTOR,
                 Allocate,
                 Deallocate,
                 Invalidate,
                 HasMethod,
                 Invoke,
                 InvokeDefault,
                 HasProperty,
                 GetProperty,
                 SetProperty,
                 RemoveProperty,
                 Enumerate,
                 Construct};

}  // namespace

NPClass* ScriptableClass() { return &Class; }

TScriptablePluginObject* ScriptObjectOf(NPObject* object) {
  if (object == nullptr || object->_class != &Class) return nullptr;
  return Behind(object);
}

}  // namespace qel
