// The library's private copy of the browser's service table and the calls
// that go through it. Every browser service the system uses is called here;
// an entry the browser left empty behaves as a failed call.
#pragma once

#include <cstddef>
#include <cstdint>

#include "host/NPApi.h"

namespace qel {

// Table sizes the entry points accept, as bytes of the tables' layout on a
// build whose pointers are `pointer_size` bytes wide: the browser's table must
// reach getauthenticationinfo and is copied at most through
// urlredirectresponse; the plug-in table must end between setvalue and
// getsiteswithdata.
struct TTableLimits {
  size_t BrowserMin;
  size_t BrowserMax;
  size_t PluginMin;
  size_t PluginMax;
};

constexpr size_t TableBytesThrough(size_t entries, size_t pointer_size) {
  // Two 16-bit fields (size, version), padded to the first pointer.
  return (4 + pointer_size - 1) / pointer_size * pointer_size + entries * pointer_size;
}

constexpr TTableLimits TableLimitsFor(size_t pointer_size) {
  return {TableBytesThrough(48, pointer_size), TableBytesThrough(55, pointer_size),
          TableBytesThrough(14, pointer_size), TableBytesThrough(19, pointer_size)};
}

constexpr TTableLimits kTableLimits = TableLimitsFor(sizeof(void*));

static_assert(kTableLimits.BrowserMin ==
              offsetof(NPNetscapeFuncs, getauthenticationinfo) + sizeof(void*));
static_assert(kTableLimits.BrowserMax == sizeof(NPNetscapeFuncs));
static_assert(kTableLimits.PluginMin == offsetof(NPPluginFuncs, setvalue) + sizeof(void*));
static_assert(kTableLimits.PluginMax == sizeof(NPPluginFuncs));

// Takes the browser's table by the acceptance rules; answers the NPAPI result.
NPError AcceptBrowserFuncs(const NPNetscapeFuncs* browser);
// The private copy (zero where the browser's table ended).
const NPNetscapeFuncs& BrowserFuncs();

// Browser services, through the private copy.
NPError NPN_GetValue(NPP instance, NPNVariable variable, void* value);
NPError NPN_SetValue(NPP instance, NPPVariable variable, void* value);
NPError NPN_GetURL(NPP instance, const char* url, const char* target);
NPError NPN_DestroyStream(NPP instance, NPStream* stream, NPReason reason);
void* NPN_MemAlloc(uint32_t size);
void NPN_MemFree(void* block);
NPIdentifier NPN_GetStringIdentifier(const NPUTF8* name);
NPIdentifier NPN_GetIntIdentifier(int32_t index);
bool NPN_IdentifierIsString(NPIdentifier identifier);
NPUTF8* NPN_UTF8FromIdentifier(NPIdentifier identifier);
NPObject* NPN_CreateObject(NPP instance, NPClass* npclass);
NPObject* NPN_RetainObject(NPObject* object);
void NPN_ReleaseObject(NPObject* object);
bool NPN_Invoke(NPP instance, NPObject* object, NPIdentifier method, const NPVariant* args,
                uint32_t count, NPVariant* result);
bool NPN_Evaluate(NPP instance, NPObject* object, NPString* script, NPVariant* result);
bool NPN_GetProperty(NPP instance, NPObject* object, NPIdentifier name, NPVariant* result);
void NPN_ReleaseVariantValue(NPVariant* variant);

}  // namespace qel
