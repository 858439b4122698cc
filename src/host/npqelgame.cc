// The exports and the NPP_* dispatch: every browser call finds its instance
// object in the handle's pdata; no failure ever unwinds into the browser.
#include "host/npqelgame.h"

#include <cstring>
#include <memory>

#include "host/NPFuncs.h"
#include "host/Plugin.h"
#include "host/PluginRegistry.h"
#include "host/URLStream.h"

namespace qel {
namespace {

TPlugin* PluginOf(NPP instance) { return static_cast<TPlugin*>(instance->pdata); }

TURLStream* StreamOf(NPStream* stream) {
  return stream ? static_cast<TURLStream*>(stream->pdata) : nullptr;
}

NPError NPP_New(NPMIMEType mime_type, NPP instance, uint16_t mode, int16_t argc, char* argn[],
                char* argv[], NPSavedData* saved) {
  if (instance == nullptr) return NPERR_INVALID_INSTANCE_ERROR;
  try {
    if (argc < 0) return NPERR_GENERIC_ERROR;
    const TPluginClassInfo* info = Plugins().FindPluginClass(mime_type ? mime_type : "");
    if (info == nullptr) return NPERR_GENERIC_ERROR;
    std::unique_ptr<TPlugin> plugin =
        info->PluginClass({instance, mime_type, mode, argc, argn, argv, saved});
    if (!plugin) return NPERR_GENERIC_ERROR;
    instance->pdata = plugin.release();
    return NPERR_NO_ERROR;
  } catch (...) {
    return NPERR_GENERIC_ERROR;
  }
}

NPError NPP_Destroy(NPP instance, NPSavedData**) {
  if (instance == nullptr) return NPERR_INVALID_INSTANCE_ERROR;
  if (instance->pdata == nullptr) return NPERR_NO_ERROR;
  // Calls that arrive while the object is being destroyed find nothing.
  std::unique_ptr<TPlugin> plugin(PluginOf(instance));
  instance->pdata = nullptr;
  plugin.reset();
  return NPERR_NO_ERROR;
}

NPError NPP_SetWindow(NPP instance, NPWindow* window) {
  if (instance == nullptr) return NPERR_INVALID_INSTANCE_ERROR;
  if (instance->pdata == nullptr) return NPERR_GENERIC_ERROR;
  try {
    return PluginOf(instance)->SetWindow(window);
  } catch (...) {
    return NPERR_GENERIC_ERROR;
  }
}

NPError NPP_NewStream(NPP instance, NPMIMEType type, NPStream* stream, NPBool seekable,
                      uint16_t* stream_type) {
  if (instance == nullptr) return NPERR_INVALID_INSTANCE_ERROR;
  if (instance->pdata == nullptr || stream == nullptr) return NPERR_GENERIC_ERROR;
  try {
    return PluginOf(instance)->NewStream(type, stream, seekable, stream_type);
  } catch (...) {
    return NPERR_GENERIC_ERROR;
  }
}

NPError NPP_DestroyStream(NPP instance, NPStream* stream, NPReason reason) {
  if (instance == nullptr) return NPERR_INVALID_INSTANCE_ERROR;
  TURLStream* owner = StreamOf(stream);
  if (instance->pdata == nullptr || owner == nullptr) return NPERR_GENERIC_ERROR;
  try {
    return owner->DestroyStream(stream, reason);
  } catch (...) {
    return NPERR_GENERIC_ERROR;
  }
}

void NPP_StreamAsFile(NPP, NPStream* stream, const char* file_name) {
  TURLStream* owner = StreamOf(stream);
  if (owner == nullptr) return;
  try {
    owner->StreamAsFile(stream, file_name);
  } catch (...) {
  }
}

int32_t NPP_WriteReady(NPP, NPStream*) { return 0x7FFFFFFF; }

int32_t NPP_Write(NPP, NPStream* stream, int32_t offset, int32_t length, void* buffer) {
  TURLStream* owner = StreamOf(stream);
  if (owner == nullptr) return -1;
  try {
    return owner->Write(stream, offset, buffer, length);
  } catch (...) {
    return -1;
  }
}

void NPP_Print(NPP, NPPrint*) {}

int16_t NPP_HandleEvent(NPP, void*) { return 0; }

void NPP_URLNotify(NPP, const char*, NPReason, void*) {}

NPError NPP_GetValue(NPP instance, NPPVariable variable, void* value) {
  if (instance == nullptr || instance->pdata == nullptr) return NPERR_INVALID_INSTANCE_ERROR;
  if (value == nullptr) return NPERR_GENERIC_ERROR;
  try {
    return PluginOf(instance)->GetValue(variable, value);
  } catch (...) {
    return NPERR_GENERIC_ERROR;
  }
}

NPError NPP_SetValue(NPP instance, NPNVariable, void*) {
  if (instance == nullptr) return NPERR_INVALID_INSTANCE_ERROR;
  return NPERR_NO_ERROR;
}

NPBool NPP_GotFocus(NPP, NPFocusDirection) { return true; }

void NPP_LostFocus(NPP) {}

void NPP_URLRedirectNotify(NPP, const char*, int32_t, void*) {}

NPError NPP_ClearSiteData(const char*, uint64_t, uint64_t) { return NPERR_NO_ERROR; }

char** NPP_GetSitesWithData() { return nullptr; }

const NPPluginFuncs kPluginFuncs = {
    sizeof(NPPluginFuncs),
    (NP_VERSION_MAJOR << 8) | NP_VERSION_MINOR,
    NPP_New,
    NPP_Destroy,
    NPP_SetWindow,
    NPP_NewStream,
    NPP_DestroyStream,
    NPP_StreamAsFile,
    NPP_WriteReady,
    NPP_Write,
    NPP_Print,
    NPP_HandleEvent,
    NPP_URLNotify,
    nullptr,  // javaClass
    NPP_GetValue,
    NPP_SetValue,
    NPP_GotFocus,
    NPP_LostFocus,
    NPP_URLRedirectNotify,
    NPP_ClearSiteData,
    NPP_GetSitesWithData,
};

}  // namespace
}  // namespace qel

using namespace qel;

NPError QEL_OSCALL NP_GetEntryPoints(NPPluginFuncs* plugin) {
  if (plugin == nullptr) return NPERR_INVALID_FUNCTABLE_ERROR;
  if (plugin->size < kTableLimits.PluginMin || plugin->size > kTableLimits.PluginMax) {
    return NPERR_INVALID_FUNCTABLE_ERROR;
  }
  // From the version field on, exactly as many bytes as the browser's table
  // holds: the version and as many entries as it has room for.
  const size_t from = offsetof(NPPluginFuncs, version);
  std::memcpy(reinterpret_cast<char*>(plugin) + from,
              reinterpret_cast<const char*>(&kPluginFuncs) + from, plugin->size - from);
  return NPERR_NO_ERROR;
}

namespace {

// `plugin` is null where the browser asks NP_GetEntryPoints for the table.
NPError Initialize(NPNetscapeFuncs* browser, NPPluginFuncs* plugin) {
  NPError result = AcceptBrowserFuncs(browser);
  if (result != NPERR_NO_ERROR || plugin == nullptr) return result;
  return NP_GetEntryPoints(plugin);
}

}  // namespace

NPError QEL_OSCALL NP_Initialize(QEL_NP_INITIALIZE_PARAMETERS) {
  return Initialize(browser, QEL_NP_INITIALIZE_PLUGIN_TABLE);
}

NPError QEL_OSCALL NP_Shutdown(void) { return NPERR_NO_ERROR; }

const char* NP_GetMIMEDescriptionFunc(void) { return Plugins().MIMEDescription().c_str(); }

const char* NP_GetMIMEDescription(void) { return kMIMEDescription; }

NPError NP_GetValue(void*, NPPVariable variable, void* value) {
  if (value == nullptr) return NPERR_INVALID_PARAM;
  switch (variable) {
    case NPPVpluginNameString:
      *static_cast<const char**>(value) = kPluginName;
      return NPERR_NO_ERROR;
    case NPPVpluginDescriptionString:
      *static_cast<const char**>(value) = kPluginDescription;
      return NPERR_NO_ERROR;
    default:
      return NPERR_INVALID_PARAM;
  }
}
