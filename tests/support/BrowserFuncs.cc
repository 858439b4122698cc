#include "BrowserFuncs.h"

#include <gtest/gtest.h>

#include <climits>
#include <concepts>
#include <cstring>
#include <string>
#include <string_view>

#include "FakeBrowser.h"

namespace qel::test {

namespace {

// The browser alive now; a call that comes when none is, or from another
// thread, is a fault of the plug-in.
FakeBrowser* Enter(const char* entry, bool anyThread = false) {
  FakeBrowser* browser = FakeBrowser::Current();
  if (browser == nullptr) {
    ADD_FAILURE() << "NPN_" << entry << " called while no FakeBrowser is alive";
    return nullptr;
  }
  if (!anyThread && !browser->OnMainThread())
    browser->Log().Fault(FaultKind::Thread,
                         std::string("NPN_") + entry + " called off the browser's main thread");
  return browser;
}

// A null NPP is a fault only where the entry acts for an instance; an NPP the
// browser does not know (destroyed, forged) always is.
bool InstanceOk(FakeBrowser& browser, NPP instance, const char* entry, bool required) {
  if (instance == nullptr) {
    if (!required) return true;
    browser.Log().Fault(FaultKind::Instance, std::string("NPN_") + entry + " with a null NPP");
    return false;
  }
  if (browser.IsLiveInstance(instance)) return true;
  browser.Log().Fault(FaultKind::Instance, std::string("NPN_") + entry + " with NPP " +
                                               PointerText(instance) +
                                               ", which is not a live instance");
  return false;
}

std::string ArgText(const char* text) { return text != nullptr ? text : "(null)"; }
std::string ArgText(const std::string& text) { return text; }
template <std::integral T>
std::string ArgText(T value) {
  return std::to_string(value);
}

template <class... Args>
void Record(FakeBrowser& browser, const char* entry, const Args&... args) {
  std::string line = entry;
  ((line += ' ', line += ArgText(args)), ...);
  browser.Log().Call(std::move(line));
}

// An NPError entry that acts for an instance: recorded, checked, and answered
// as the test configured (success unless told otherwise).
template <class... Args>
NPError Service(const char* entry, NPP instance, const Args&... args) {
  FakeBrowser* browser = Enter(entry);
  if (browser == nullptr) return NPERR_GENERIC_ERROR;
  Record(*browser, entry, args...);
  if (!InstanceOk(*browser, instance, entry, true)) return NPERR_INVALID_INSTANCE_ERROR;
  return browser->Answers().ResultFor(entry);
}

// A void or boolean entry that acts for an instance: recorded and checked.
template <class... Args>
FakeBrowser* Notice(const char* entry, NPP instance, const Args&... args) {
  FakeBrowser* browser = Enter(entry);
  if (browser == nullptr) return nullptr;
  Record(*browser, entry, args...);
  InstanceOk(*browser, instance, entry, true);
  return browser;
}

// The scripting entries: an NPP is optional, a dead one is a fault.
FakeBrowser* EnterScript(const char* entry, NPP instance) {
  FakeBrowser* browser = Enter(entry);
  if (browser != nullptr) InstanceOk(*browser, instance, entry, false);
  return browser;
}

extern "C" {

// ---- Streams and URLs -------------------------------------------------------

static NPError FakeGetURL(NPP instance, const char* url, const char* window) {
  return Service("GetURL", instance, url, window);
}

static NPError FakePostURL(NPP instance, const char* url, const char* window, uint32_t len,
                           const char*, NPBool file) {
  return Service("PostURL", instance, url, window, len, file);
}

static NPError FakeGetURLNotify(NPP instance, const char* url, const char* window, void*) {
  return Service("GetURLNotify", instance, url, window);
}

static NPError FakePostURLNotify(NPP instance, const char* url, const char* window, uint32_t len,
                                 const char*, NPBool file, void*) {
  return Service("PostURLNotify", instance, url, window, len, file);
}

static NPError FakeRequestRead(NPStream*, NPByteRange*) {
  FakeBrowser* browser = Enter("RequestRead");
  if (browser != nullptr) Record(*browser, "RequestRead");
  return NPERR_STREAM_NOT_SEEKABLE;
}

// The page takes no streams from the plug-in.
static NPError FakeNewStream(NPP instance, NPMIMEType type, const char* window, NPStream** stream) {
  if (stream != nullptr) *stream = nullptr;
  Notice("NewStream", instance, type, window);
  return NPERR_GENERIC_ERROR;
}

static int32_t FakeWrite(NPP instance, NPStream*, int32_t len, void*) {
  Notice("Write", instance, len);
  return -1;
}

static NPError FakeDestroyStream(NPP instance, NPStream* stream, NPReason reason) {
  NPError result = Service("DestroyStream", instance, reason);
  if (FakeBrowser* browser = FakeBrowser::Current()) {
    browser->Answers().EndStream(instance, stream, reason);
  }
  return result;
}

// ---- Window, status, browser ------------------------------------------------

static void FakeStatus(NPP instance, const char* message) { Notice("Status", instance, message); }

static const char* FakeUserAgent(NPP instance) {
  FakeBrowser* browser = Enter("UserAgent");
  if (browser != nullptr) {
    Record(*browser, "UserAgent");
    InstanceOk(*browser, instance, "UserAgent", false);
  }
  return FakeBrowser::kUserAgent;
}

static uint32_t FakeMemFlush(uint32_t size) {
  FakeBrowser* browser = Enter("MemFlush");
  if (browser != nullptr) Record(*browser, "MemFlush", size);
  return 0;
}

static void FakeReloadPlugins(NPBool reloadPages) {
  FakeBrowser* browser = Enter("ReloadPlugins");
  if (browser != nullptr) Record(*browser, "ReloadPlugins", reloadPages);
}

static void* FakeGetJavaEnv() {
  FakeBrowser* browser = Enter("GetJavaEnv");
  if (browser != nullptr) Record(*browser, "GetJavaEnv");
  return nullptr;
}

static void* FakeGetJavaPeer(NPP instance) {
  Notice("GetJavaPeer", instance);
  return nullptr;
}

static NPError FakeGetValue(NPP instance, NPNVariable variable, void* value) {
  FakeBrowser* browser = Enter("GetValue");
  if (browser == nullptr) return NPERR_GENERIC_ERROR;
  Record(*browser, "GetValue", static_cast<int>(variable));
  const bool pageObject = variable == NPNVWindowNPObject || variable == NPNVPluginElementNPObject;
  if (!InstanceOk(*browser, instance, "GetValue", pageObject)) return NPERR_INVALID_INSTANCE_ERROR;
  if (value == nullptr) return NPERR_INVALID_PARAM;
  FakePage& page = browser->Page();
  switch (variable) {
    case NPNVWindowNPObject:
      if (page.WindowObjectError() != NPERR_NO_ERROR) return page.WindowObjectError();
      if (page.AnswersNullWindow()) {
        *static_cast<NPObject**>(value) = nullptr;
        return NPERR_NO_ERROR;
      }
      // The caller owns the reference it gets.
      *static_cast<NPObject**>(value) = browser->Objects().Retain(&page.Window());
      return NPERR_NO_ERROR;
    case NPNVPluginElementNPObject:
      *static_cast<NPObject**>(value) = browser->Objects().Retain(&page.PluginElement());
      return NPERR_NO_ERROR;
    default:
      if (browser->Answers().WriteValueAnswer(variable, value)) return NPERR_NO_ERROR;
      if (auto answer = browser->Answers().BoolAnswer(variable)) {
        *static_cast<NPBool*>(value) = *answer ? 1 : 0;
        return NPERR_NO_ERROR;
      }
      return NPERR_GENERIC_ERROR;
  }
}

static NPError FakeSetValue(NPP instance, NPPVariable variable, void* value) {
  FakeBrowser* browser = Enter("SetValue");
  if (browser == nullptr) return NPERR_GENERIC_ERROR;
  Record(*browser, "SetValue", static_cast<int>(variable), reinterpret_cast<intptr_t>(value));
  if (!InstanceOk(*browser, instance, "SetValue", true)) return NPERR_INVALID_INSTANCE_ERROR;
  browser->Answers().RememberSetValue(variable, value);
  return browser->Answers().ResultFor("SetValue");
}

static void FakeInvalidateRect(NPP instance, NPRect* rect) {
  if (rect == nullptr) {
    Notice("InvalidateRect", instance, "(null)");
  } else {
    Notice("InvalidateRect", instance, rect->top, rect->left, rect->bottom, rect->right);
  }
}

static void FakeInvalidateRegion(NPP instance, NPRegion) { Notice("InvalidateRegion", instance); }

static void FakeForceRedraw(NPP instance) { Notice("ForceRedraw", instance); }

static void FakePushPopupsEnabledState(NPP instance, NPBool enabled) {
  Notice("PushPopupsEnabledState", instance, enabled);
}

static void FakePopPopupsEnabledState(NPP instance) { Notice("PopPopupsEnabledState", instance); }

// The one entry any thread may call; the call runs on the main thread when
// the test turns the browser's loop (FakeBrowser::RunPendingAsyncCalls).
static void FakePluginThreadAsyncCall(NPP instance, void (*function)(void*), void* userData) {
  FakeBrowser* browser = Enter("PluginThreadAsyncCall", true);
  if (browser == nullptr) return;
  Record(*browser, "PluginThreadAsyncCall");
  if (instance == nullptr || function == nullptr) {
    browser->Log().Fault(FaultKind::Instance,
                         "NPN_PluginThreadAsyncCall with a null NPP or function");
    return;
  }
  browser->AsyncCalls().Post({instance, function, userData});
}

// ---- Memory -----------------------------------------------------------------

static void* FakeMemAlloc(uint32_t size) {
  FakeBrowser* browser = Enter("MemAlloc");
  return browser != nullptr ? browser->Memory().Allocate(size) : nullptr;
}

// Without a browser the block is left alone: it is not this process's to free.
static void FakeMemFree(void* block) {
  if (FakeBrowser* browser = Enter("MemFree")) browser->Memory().Free(block);
}

// ---- Identifiers ------------------------------------------------------------

static NPIdentifier FakeGetStringIdentifier(const NPUTF8* name) {
  FakeBrowser* browser = Enter("GetStringIdentifier");
  if (browser == nullptr) return nullptr;
  if (name == nullptr) {
    browser->Log().Fault(FaultKind::Identifier, "NPN_GetStringIdentifier with a null name");
    return nullptr;
  }
  return browser->Identifiers().ForString(name);
}

static void FakeGetStringIdentifiers(const NPUTF8** names, int32_t nameCount,
                                     NPIdentifier* identifiers) {
  for (int32_t i = 0; i < nameCount; ++i) identifiers[i] = FakeGetStringIdentifier(names[i]);
}

static NPIdentifier FakeGetIntIdentifier(int32_t value) {
  FakeBrowser* browser = Enter("GetIntIdentifier");
  return browser != nullptr ? browser->Identifiers().ForInt(value) : nullptr;
}

static bool FakeIdentifierIsString(NPIdentifier identifier) {
  FakeBrowser* browser = Enter("IdentifierIsString");
  if (browser == nullptr) return false;
  auto entry = browser->Identifiers().Find(identifier, "NPN_IdentifierIsString");
  return entry && entry->isString;
}

static NPUTF8* FakeUTF8FromIdentifier(NPIdentifier identifier) {
  FakeBrowser* browser = Enter("UTF8FromIdentifier");
  if (browser == nullptr) return nullptr;
  auto entry = browser->Identifiers().Find(identifier, "NPN_UTF8FromIdentifier");
  if (!entry || !entry->isString) return nullptr;
  // The caller frees the copy with NPN_MemFree.
  const size_t size = entry->name.size() + 1;
  auto* text = static_cast<NPUTF8*>(browser->Memory().Allocate(static_cast<uint32_t>(size)));
  std::memcpy(text, entry->name.c_str(), size);
  return text;
}

static int32_t FakeIntFromIdentifier(NPIdentifier identifier) {
  FakeBrowser* browser = Enter("IntFromIdentifier");
  if (browser == nullptr) return INT32_MIN;
  auto entry = browser->Identifiers().Find(identifier, "NPN_IntFromIdentifier");
  return entry && !entry->isString ? entry->value : INT32_MIN;
}

// ---- Objects and scripting ------------------------------------------------------

static NPObject* FakeCreateObject(NPP instance, NPClass* aClass) {
  FakeBrowser* browser = EnterScript("CreateObject", instance);
  return browser != nullptr ? browser->Objects().Create(instance, aClass) : nullptr;
}

static NPObject* FakeRetainObject(NPObject* object) {
  FakeBrowser* browser = Enter("RetainObject");
  return browser != nullptr ? browser->Objects().Retain(object) : object;
}

static void FakeReleaseObject(NPObject* object) {
  if (FakeBrowser* browser = Enter("ReleaseObject")) browser->Objects().Release(object);
}

static bool FakeInvoke(NPP instance, NPObject* object, NPIdentifier name, const NPVariant* args,
                       uint32_t argCount, NPVariant* result) {
  FakeBrowser* browser = EnterScript("Invoke", instance);
  return browser != nullptr && browser->Script().Invoke(object, name, args, argCount, result);
}

static bool FakeInvokeDefault(NPP instance, NPObject* object, const NPVariant* args,
                              uint32_t argCount, NPVariant* result) {
  FakeBrowser* browser = EnterScript("InvokeDefault", instance);
  return browser != nullptr && browser->Script().InvokeDefault(object, args, argCount, result);
}

static bool FakeEvaluate(NPP instance, NPObject* object, NPString* script, NPVariant* result) {
  FakeBrowser* browser = Enter("Evaluate");
  if (browser == nullptr) return false;
  std::string text;
  if (script != nullptr && script->UTF8Characters != nullptr)
    text.assign(script->UTF8Characters, script->UTF8Length);
  Record(*browser, "Evaluate", text);
  if (result != nullptr) *result = VoidVariant();
  if (!InstanceOk(*browser, instance, "Evaluate", true)) return false;
  if (!browser->Objects().IsLive(object)) {
    browser->Log().Fault(FaultKind::Object,
                         "NPN_Evaluate on " + PointerText(object) + ", which is not a live object");
    return false;
  }
  if (browser->Answers().HasEvaluator()) return browser->Answers().Evaluate(text, result);
  FakePageObject* page = FakePageObject::From(object);
  return page != nullptr && result != nullptr && page->EvaluateScript(text, result);
}

static bool FakeGetProperty(NPP instance, NPObject* object, NPIdentifier name, NPVariant* result) {
  FakeBrowser* browser = EnterScript("GetProperty", instance);
  return browser != nullptr && browser->Script().GetProperty(object, name, result);
}

static bool FakeSetProperty(NPP instance, NPObject* object, NPIdentifier name,
                            const NPVariant* value) {
  FakeBrowser* browser = EnterScript("SetProperty", instance);
  return browser != nullptr && browser->Script().SetProperty(object, name, value);
}

static bool FakeRemoveProperty(NPP instance, NPObject* object, NPIdentifier name) {
  FakeBrowser* browser = EnterScript("RemoveProperty", instance);
  return browser != nullptr && browser->Script().RemoveProperty(object, name);
}

static bool FakeHasProperty(NPP instance, NPObject* object, NPIdentifier name) {
  FakeBrowser* browser = EnterScript("HasProperty", instance);
  return browser != nullptr && browser->Script().HasProperty(object, name);
}

static bool FakeHasMethod(NPP instance, NPObject* object, NPIdentifier name) {
  FakeBrowser* browser = EnterScript("HasMethod", instance);
  return browser != nullptr && browser->Script().HasMethod(object, name);
}

static bool FakeEnumerate(NPP instance, NPObject* object, NPIdentifier** names, uint32_t* count) {
  FakeBrowser* browser = EnterScript("Enumerate", instance);
  return browser != nullptr && browser->Script().Enumerate(object, names, count);
}

static bool FakeConstruct(NPP instance, NPObject* object, const NPVariant* args, uint32_t argCount,
                          NPVariant* result) {
  FakeBrowser* browser = EnterScript("Construct", instance);
  return browser != nullptr && browser->Script().Construct(object, args, argCount, result);
}

static void FakeReleaseVariantValue(NPVariant* variant) {
  if (FakeBrowser* browser = Enter("ReleaseVariantValue"))
    ReleaseVariantValue(browser->Memory(), browser->Objects(), variant);
}

static void FakeSetException(NPObject*, const NPUTF8* message) {
  if (FakeBrowser* browser = Enter("SetException")) Record(*browser, "SetException", message);
}

// ---- Later additions to the table --------------------------------------------

static NPError FakeGetValueForURL(NPP instance, NPNURLVariable variable, const char* url,
                                  char** value, uint32_t* len) {
  if (value != nullptr) *value = nullptr;
  if (len != nullptr) *len = 0;
  Notice("GetValueForURL", instance, static_cast<int>(variable), url);
  return NPERR_GENERIC_ERROR;
}

static NPError FakeSetValueForURL(NPP instance, NPNURLVariable variable, const char* url,
                                  const char*, uint32_t) {
  Notice("SetValueForURL", instance, static_cast<int>(variable), url);
  return NPERR_GENERIC_ERROR;
}

static NPError FakeGetAuthenticationInfo(NPP instance, const char* protocol, const char* host,
                                         int32_t port, const char* scheme, const char* realm,
                                         char** username, uint32_t* ulen, char** password,
                                         uint32_t* plen) {
  if (username != nullptr) *username = nullptr;
  if (ulen != nullptr) *ulen = 0;
  if (password != nullptr) *password = nullptr;
  if (plen != nullptr) *plen = 0;
  Notice("GetAuthenticationInfo", instance, protocol, host, port, scheme, realm);
  return NPERR_GENERIC_ERROR;
}

// 0 is no timer: the fake browser has none to run.
static uint32_t FakeScheduleTimer(NPP instance, uint32_t interval, NPBool repeat,
                                  void (*)(NPP, uint32_t)) {
  Notice("ScheduleTimer", instance, interval, repeat);
  return 0;
}

static void FakeUnscheduleTimer(NPP instance, uint32_t timerID) {
  Notice("UnscheduleTimer", instance, timerID);
}

static NPError FakePopUpContextMenu(NPP instance, NPMenu*) {
  Notice("PopUpContextMenu", instance);
  return NPERR_GENERIC_ERROR;
}

static NPBool FakeConvertPoint(NPP instance, double, double, NPCoordinateSpace, double*, double*,
                               NPCoordinateSpace) {
  Notice("ConvertPoint", instance);
  return 0;
}

static NPBool FakeHandleEvent(NPP instance, void*, NPBool handled) {
  Notice("HandleEvent", instance, handled);
  return 0;
}

static NPBool FakeUnfocusInstance(NPP instance, NPFocusDirection direction) {
  Notice("UnfocusInstance", instance, static_cast<int>(direction));
  return 0;
}

static void FakeURLRedirectResponse(NPP instance, void*, NPBool allow) {
  Notice("URLRedirectResponse", instance, allow);
}

}  // extern "C"

}  // namespace

void FillBrowserFuncs(NPNetscapeFuncs& table) {
  table = {};
  table.size = sizeof(NPNetscapeFuncs);
  table.version = (NP_VERSION_MAJOR << 8) | NP_VERSION_MINOR;
  table.geturl = FakeGetURL;
  table.posturl = FakePostURL;
  table.requestread = FakeRequestRead;
  table.newstream = FakeNewStream;
  table.write = FakeWrite;
  table.destroystream = FakeDestroyStream;
  table.status = FakeStatus;
  table.uagent = FakeUserAgent;
  table.memalloc = FakeMemAlloc;
  table.memfree = FakeMemFree;
  table.memflush = FakeMemFlush;
  table.reloadplugins = FakeReloadPlugins;
  table.getJavaEnv = FakeGetJavaEnv;
  table.getJavaPeer = FakeGetJavaPeer;
  table.geturlnotify = FakeGetURLNotify;
  table.posturlnotify = FakePostURLNotify;
  table.getvalue = FakeGetValue;
  table.setvalue = FakeSetValue;
  table.invalidaterect = FakeInvalidateRect;
  table.invalidateregion = FakeInvalidateRegion;
  table.forceredraw = FakeForceRedraw;
  table.getstringidentifier = FakeGetStringIdentifier;
  table.getstringidentifiers = FakeGetStringIdentifiers;
  table.getintidentifier = FakeGetIntIdentifier;
  table.identifierisstring = FakeIdentifierIsString;
  table.utf8fromidentifier = FakeUTF8FromIdentifier;
  table.intfromidentifier = FakeIntFromIdentifier;
  table.createobject = FakeCreateObject;
  table.retainobject = FakeRetainObject;
  table.releaseobject = FakeReleaseObject;
  table.invoke = FakeInvoke;
  table.invokeDefault = FakeInvokeDefault;
  table.evaluate = FakeEvaluate;
  table.getproperty = FakeGetProperty;
  table.setproperty = FakeSetProperty;
  table.removeproperty = FakeRemoveProperty;
  table.hasproperty = FakeHasProperty;
  table.hasmethod = FakeHasMethod;
  table.releasevariantvalue = FakeReleaseVariantValue;
  table.setexception = FakeSetException;
  table.pushpopupsenabledstate = FakePushPopupsEnabledState;
  table.poppopupsenabledstate = FakePopPopupsEnabledState;
  table.enumerate = FakeEnumerate;
  table.pluginthreadasynccall = FakePluginThreadAsyncCall;
  table.construct = FakeConstruct;
  table.getvalueforurl = FakeGetValueForURL;
  table.setvalueforurl = FakeSetValueForURL;
  table.getauthenticationinfo = FakeGetAuthenticationInfo;
  table.scheduletimer = FakeScheduleTimer;
  table.unscheduletimer = FakeUnscheduleTimer;
  table.popupcontextmenu = FakePopUpContextMenu;
  table.convertpoint = FakeConvertPoint;
  table.handleevent = FakeHandleEvent;
  table.unfocusinstance = FakeUnfocusInstance;
  table.urlredirectresponse = FakeURLRedirectResponse;
}

}  // namespace qel::test
