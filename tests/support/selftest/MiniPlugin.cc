#include "MiniPlugin.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string_view>

namespace qel::test::mini {

namespace {

Record seen;
NPNetscapeFuncs browser;

struct Instance {
  NPP npp = nullptr;
  NPObject* scriptable = nullptr;  // one reference, released in NPP_Destroy
};

struct ScriptObject : NPObject {
  NPP npp = nullptr;
  std::string note;
};

bool Is(NPIdentifier name, const char* text) { return name == browser.getstringidentifier(text); }

void SetString(NPVariant* result, std::string_view text) {
  auto* characters = static_cast<NPUTF8*>(browser.memalloc(static_cast<uint32_t>(text.size())));
  std::memcpy(characters, text.data(), text.size());
  result->type = NPVariantType_String;
  result->value.stringValue = {characters, static_cast<uint32_t>(text.size())};
}

std::string_view StringOf(const NPVariant& v) {
  if (v.type != NPVariantType_String || v.value.stringValue.UTF8Characters == nullptr) return {};
  return {v.value.stringValue.UTF8Characters, v.value.stringValue.UTF8Length};
}

extern "C" {

static NPObject* Allocate(NPP npp, NPClass*) {
  auto* object = new ScriptObject;
  object->npp = npp;
  return object;
}

static void Deallocate(NPObject* object) {
  ++seen.objectDeallocations;
  delete static_cast<ScriptObject*>(object);
}

static bool HasMethod(NPObject*, NPIdentifier name) {
  return Is(name, "echo") || Is(name, "windowTitle");
}

static bool Invoke(NPObject* object, NPIdentifier name, const NPVariant* args, uint32_t argCount,
                   NPVariant* result) {
  if (Is(name, "echo") && argCount == 1) {
    SetString(result, StringOf(args[0]));
    return true;
  }
  if (Is(name, "windowTitle")) {
    NPP npp = static_cast<ScriptObject*>(object)->npp;
    NPObject* window = nullptr;
    if (browser.getvalue(npp, NPNVWindowNPObject, &window) != NPERR_NO_ERROR) return false;
    const bool ok = browser.getproperty(npp, window, browser.getstringidentifier("title"), result);
    browser.releaseobject(window);
    return ok;
  }
  return false;
}

static bool HasProperty(NPObject*, NPIdentifier name) {
  return Is(name, "greeting") || Is(name, "note");
}

static bool GetProperty(NPObject* object, NPIdentifier name, NPVariant* result) {
  if (Is(name, "greeting")) {
    SetString(result, "hello");
    return true;
  }
  if (Is(name, "note")) {
    SetString(result, static_cast<ScriptObject*>(object)->note);
    return true;
  }
  return false;
}

static bool SetProperty(NPObject* object, NPIdentifier name, const NPVariant* value) {
  if (!Is(name, "note") || value->type != NPVariantType_String) return false;
  static_cast<ScriptObject*>(object)->note = std::string(StringOf(*value));
  return true;
}

}  // extern "C"

NPClass scriptClass = {
    NP_CLASS_STRUCT_VERSION,
    Allocate,
    Deallocate,
    nullptr,  // invalidate
    HasMethod,
    Invoke,
    nullptr,  // invokeDefault
    HasProperty,
    GetProperty,
    SetProperty,
    nullptr,  // removeProperty
    nullptr,  // enumerate
    nullptr,  // construct
};

extern "C" {

static NPError New(NPMIMEType type, NPP npp, uint16_t mode, int16_t argc, char* argn[],
                   char* argv[], NPSavedData*) {
  seen.mime = type;
  seen.mode = mode;
  seen.arguments.clear();
  for (int16_t i = 0; i < argc; ++i) seen.arguments.emplace_back(argn[i], argv[i]);
  if (seen.mime != kMime) return NPERR_INVALID_PLUGIN_ERROR;
  auto instance = std::make_unique<Instance>();
  instance->npp = npp;
  npp->pdata = instance.release();  // owned by the NPP until NPP_Destroy
  return NPERR_NO_ERROR;
}

static NPError Destroy(NPP npp, NPSavedData**) {
  ++seen.destroyCalls;
  std::unique_ptr<Instance> instance(static_cast<Instance*>(npp->pdata));
  npp->pdata = nullptr;
  if (instance && instance->scriptable != nullptr) browser.releaseobject(instance->scriptable);
  return NPERR_NO_ERROR;
}

static NPError SetWindow(NPP, NPWindow*) { return NPERR_NO_ERROR; }

static NPError GetValue(NPP npp, NPPVariable variable, void* value) {
  if (variable != NPPVpluginScriptableNPObject) return NPERR_GENERIC_ERROR;
  auto* instance = static_cast<Instance*>(npp->pdata);
  if (instance->scriptable == nullptr)
    instance->scriptable = browser.createobject(npp, &scriptClass);
  // The browser gets a reference of its own.
  *static_cast<NPObject**>(value) = browser.retainobject(instance->scriptable);
  return NPERR_NO_ERROR;
}

static NPError Initialize(NPNetscapeFuncs* browserFuncs, NPPluginFuncs* pluginFuncs) {
  ++seen.initializeCalls;
  std::memset(&browser, 0, sizeof browser);
  std::memcpy(&browser, browserFuncs, std::min<size_t>(browserFuncs->size, sizeof browser));
  pluginFuncs->version = (NP_VERSION_MAJOR << 8) | NP_VERSION_MINOR;
  pluginFuncs->newp = New;
  pluginFuncs->destroy = Destroy;
  pluginFuncs->setwindow = SetWindow;
  pluginFuncs->getvalue = GetValue;
  return NPERR_NO_ERROR;
}

static NPError Shutdown() {
  ++seen.shutdownCalls;
  return NPERR_NO_ERROR;
}

}  // extern "C"

}  // namespace

const Record& Seen() { return seen; }

void Reset() { seen = Record{}; }

PluginEntry Entry() { return {Initialize, Shutdown}; }

}  // namespace qel::test::mini
