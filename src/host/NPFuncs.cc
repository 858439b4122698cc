#include "host/NPFuncs.h"

#include <algorithm>
#include <cstring>

namespace qel {

namespace {

NPNetscapeFuncs Browser{};  // zero until the browser hands its table over

}  // namespace

NPError AcceptBrowserFuncs(const NPNetscapeFuncs* browser) {
  if (browser == nullptr) return NPERR_INVALID_FUNCTABLE_ERROR;
  if ((browser->version >> 8) != NP_VERSION_MAJOR) return NPERR_INCOMPATIBLE_VERSION_ERROR;
  if (browser->size < kTableLimits.BrowserMin) return NPERR_INVALID_FUNCTABLE_ERROR;
  NPNetscapeFuncs copy{};
  std::memcpy(&copy, browser, std::min<size_t>(browser->size, sizeof copy));
  Browser = copy;
  return NPERR_NO_ERROR;
}

const NPNetscapeFuncs& BrowserFuncs() { return Browser; }

NPError NPN_GetValue(NPP instance, NPNVariable variable, void* value) {
  if (!Browser.getvalue) return NPERR_GENERIC_ERROR;
  return Browser.getvalue(instance, variable, value);
}

NPError NPN_SetValue(NPP instance, NPPVariable variable, void* value) {
  if (!Browser.setvalue) return NPERR_GENERIC_ERROR;
  return Browser.setvalue(instance, variable, value);
}

NPError NPN_GetURL(NPP instance, const char* url, const char* target) {
  if (!Browser.geturl) return NPERR_GENERIC_ERROR;
  return Browser.geturl(instance, url, target);
}

NPError NPN_DestroyStream(NPP instance, NPStream* stream, NPReason reason) {
  if (!Browser.destroystream) return NPERR_GENERIC_ERROR;
  return Browser.destroystream(instance, stream, reason);
}

void* NPN_MemAlloc(uint32_t size) {
  return Browser.memalloc ? Browser.memalloc(size) : nullptr;
}

void NPN_MemFree(void* block) {
  if (Browser.memfree && block) Browser.memfree(block);
}

NPIdentifier NPN_GetStringIdentifier(const NPUTF8* name) {
  return Browser.getstringidentifier ? Browser.getstringidentifier(name) : nullptr;
}

NPIdentifier NPN_GetIntIdentifier(int32_t index) {
  return Browser.getintidentifier ? Browser.getintidentifier(index) : nullptr;
}

bool NPN_IdentifierIsString(NPIdentifier identifier) {
  return Browser.identifierisstring && Browser.identifierisstring(identifier);
}

NPUTF8* NPN_UTF8FromIdentifier(NPIdentifier identifier) {
  return Browser.utf8fromidentifier ? Browser.utf8fromidentifier(identifier) : nullptr;
}

NPObject* NPN_CreateObject(NPP instance, NPClass* npclass) {
  return Browser.createobject ? Browser.createobject(instance, npclass) : nullptr;
}

NPObject* NPN_RetainObject(NPObject* object) {
  if (Browser.retainobject && object) return Browser.retainobject(object);
  return object;
}

void NPN_ReleaseObject(NPObject* object) {
  if (Browser.releaseobject && object) Browser.releaseobject(object);
}

bool NPN_Invoke(NPP instance, NPObject* object, NPIdentifier method, const NPVariant* args,
                uint32_t count, NPVariant* result) {
  return Browser.invoke && Browser.invoke(instance, object, method, args, count, result);
}

bool NPN_Evaluate(NPP instance, NPObject* object, NPString* script, NPVariant* result) {
  return Browser.evaluate && Browser.evaluate(instance, object, script, result);
}

bool NPN_GetProperty(NPP instance, NPObject* object, NPIdentifier name, NPVariant* result) {
  return Browser.getproperty && Browser.getproperty(instance, object, name, result);
}

void NPN_ReleaseVariantValue(NPVariant* variant) {
  if (Browser.releasevariantvalue && variant) Browser.releasevariantvalue(variant);
}

}  // namespace qel
