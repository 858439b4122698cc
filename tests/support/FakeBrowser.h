// A browser as far as the plug-in library can tell: it hands over a full
// NPNetscapeFuncs table, loads the module through its entry points, makes
// instances, and drives the plug-in's objects as a script engine would.
// Everything the plug-in does at this boundary is checked and recorded, and
// tests assert on it: leaks and faults (ExpectClean, LiveBlocks, ...), and the
// services it used (Calls).
//
// One FakeBrowser per test, on the test's thread (its main thread). The NPN
// entries are plain C functions; they reach the browser alive at the moment.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "AsyncCallQueue.h"
#include "BrowserLog.h"
#include "FakeInstance.h"
#include "FakePage.h"
#include "IdentifierTable.h"
#include "MemoryLedger.h"
#include "ObjectRef.h"
#include "ObjectRegistry.h"
#include "PluginEntry.h"
#include "ScriptEngine.h"
#include "ServiceAnswers.h"
#include "Variants.h"
#include "host/NPApi.h"

namespace qel::test {

class FakeBrowser {
 public:
  static constexpr const char* kUserAgent =
      "Mozilla/5.0 (X11; Linux x86_64; rv:52.0) Gecko/20100101 Firefox/52.0";

  // Aborts when another FakeBrowser is alive: the NPN entries could not tell
  // which one the plug-in means.
  explicit FakeBrowser(PluginEntry plugin = LibraryPluginEntry());
  // Destroys instances still alive, calls NP_Shutdown if NP_Initialize
  // succeeded and nobody shut the module down, and leaves the page. Asserts
  // nothing: tests call ExpectClean.
  ~FakeBrowser();
  FakeBrowser(const FakeBrowser&) = delete;
  FakeBrowser& operator=(const FakeBrowser&) = delete;

  // The browser alive at the moment, or null.
  static FakeBrowser* Current();

  // ---- Module ---------------------------------------------------------------

  // Tests may change the table (its size, version, entries) before Initialize.
  NPNetscapeFuncs& BrowserFuncs() { return browserFuncs_; }
  // NP_Initialize(&BrowserFuncs(), &table) with the table's size set first.
  NPError Initialize();
  NPError Shutdown();
  const NPPluginFuncs& PluginFuncs() const { return pluginFuncs_; }

  // ---- Instances --------------------------------------------------------------

  // NPP_New as for <embed type=mime name1=value1 ...>, mode NP_EMBED, no saved
  // data. The names and values live only during the call. Null when the
  // plug-in refuses (its error goes to *result); the browser then never calls
  // NPP_Destroy.
  std::unique_ptr<FakeInstance> NewInstance(
      const std::string& mime, std::vector<std::pair<std::string, std::string>> attributes,
      NPError* result = nullptr);
  size_t LiveInstanceCount() const { return instances_.size(); }
  bool IsLiveInstance(NPP instance) const;

  // ---- Script calls into objects, through each object's class -------------

  NPIdentifier Identifier(std::string_view name) { return identifiers_.ForString(name); }
  NPIdentifier IntIdentifier(int32_t value) { return identifiers_.ForInt(value); }

  // Results belong to the caller: release them (ReleaseVariant, ScopedVariant).
  bool GetProperty(NPObject* object, std::string_view name, NPVariant* result);
  bool SetProperty(NPObject* object, std::string_view name, const NPVariant& value);
  bool HasProperty(NPObject* object, std::string_view name);
  bool RemoveProperty(NPObject* object, std::string_view name);
  bool HasMethod(NPObject* object, std::string_view name);
  bool Invoke(NPObject* object, std::string_view name, std::span<const NPVariant> args,
              NPVariant* result);
  bool InvokeDefault(NPObject* object, std::span<const NPVariant> args, NPVariant* result);
  bool Construct(NPObject* object, std::span<const NPVariant> args, NPVariant* result);
  // The names the object enumerates (integer identifiers as decimal text);
  // the browser frees the plug-in's array with NPN_MemFree.
  std::optional<std::vector<std::string>> Enumerate(NPObject* object);

  // ---- Variants -----------------------------------------------------------------

  // A string in NPN_MemAlloc'd memory, as browsers hand strings out.
  NPVariant StringVariant(std::string_view utf8) { return qel::test::StringVariant(memory_, utf8); }
  // Retains the object for the variant.
  NPVariant ObjectVariant(NPObject* object) { return qel::test::ObjectVariant(objects_, object); }
  static NPVariant IntVariant(int32_t value) { return qel::test::IntVariant(value); }
  static NPVariant DoubleVariant(double value) { return qel::test::DoubleVariant(value); }
  static NPVariant BoolVariant(bool value) { return qel::test::BoolVariant(value); }
  static NPVariant VoidVariant() { return qel::test::VoidVariant(); }
  static NPVariant NullVariant() { return qel::test::NullVariant(); }
  // NPN_ReleaseVariantValue.
  void ReleaseVariant(NPVariant& variant) { ReleaseVariantValue(memory_, objects_, &variant); }
  static std::string VariantText(const NPVariant& variant) {
    return qel::test::VariantText(variant);
  }

  // ---- Objects, memory, faults ------------------------------------------------

  // A reference of the holder's own to `object`.
  ObjectRef Retain(NPObject* object) { return ObjectRef::Retained(objects_, object); }
  bool IsLive(NPObject* object) const { return objects_.IsLive(object); }
  uint32_t ReferenceCount(NPObject* object) const { return objects_.ReferenceCount(object); }
  size_t LiveObjectCount() const { return objects_.LiveCount(); }
  size_t LiveBlocks() const { return memory_.LiveBlocks(); }

  int MemoryErrors() const { return log_.FaultCount(FaultKind::Memory); }
  int ObjectErrors() const { return log_.FaultCount(FaultKind::Object); }
  // Identifiers this browser never handed out.
  int IdentifierErrors() const { return log_.FaultCount(FaultKind::Identifier); }
  // Calls naming a destroyed or unknown NPP, or none where one is needed.
  int InstanceErrors() const { return log_.FaultCount(FaultKind::Instance); }
  // Calls from a thread other than the browser's main thread (only
  // NPN_PluginThreadAsyncCall may come from any thread).
  int ThreadErrors() const { return log_.FaultCount(FaultKind::Thread); }
  std::vector<std::string> Faults() const { return log_.Faults(); }

  // Leaves the page (ClosePage), then adds one GoogleTest failure, at the
  // caller's line, listing every live instance, block and object and every
  // fault. Call it when the test is done with its instances. (The defaults
  // name the caller's line; clang 14 has no std::source_location.)
  void ExpectClean(const char* file = __builtin_FILE(), int line = __builtin_LINE());

  // ---- Page -------------------------------------------------------------------

  FakePage& Page() { return page_; }
  void ClosePage() { page_.Close(); }

  // ---- Other services ---------------------------------------------------------

  // One line per call: the entry's name and its arguments, separated by
  // spaces; strings as they are, null ones as "(null)", pointers as integers.
  // For example "SetValue 3 0", "GetURLNotify http://h/x _self".
  std::vector<std::string> Calls() const { return log_.Calls(); }
  void ClearCalls() { log_.ClearCalls(); }
  std::optional<intptr_t> LastSetValue(NPPVariable variable) const {
    return answers_.LastSetValue(variable);
  }
  ServiceAnswers& Answers() { return answers_; }

  // Runs the NPN_PluginThreadAsyncCall calls posted so far, on this thread,
  // in order; calls for destroyed instances are dropped, as browsers do.
  // Answers how many ran.
  size_t RunPendingAsyncCalls();
  // Waits (without running anything) until a call is posted.
  bool WaitForAsyncCall(std::chrono::milliseconds timeout) {
    return asyncCalls_.WaitForCall(timeout);
  }

  // ---- For the browser's own entry points ------------------------------------

  BrowserLog& Log() { return log_; }
  MemoryLedger& Memory() { return memory_; }
  IdentifierTable& Identifiers() { return identifiers_; }
  ObjectRegistry& Objects() { return objects_; }
  ScriptEngine& Script() { return script_; }
  AsyncCallQueue& AsyncCalls() { return asyncCalls_; }
  bool OnMainThread() const { return std::this_thread::get_id() == mainThread_; }

 private:
  friend class FakeInstance;
  void Forget(FakeInstance* instance);

  const std::thread::id mainThread_;
  const PluginEntry plugin_;
  // Declared in dependency order: later members use earlier ones and go first.
  BrowserLog log_;
  MemoryLedger memory_{log_};
  IdentifierTable identifiers_{log_};
  ObjectRegistry objects_{log_};
  ScriptEngine script_{objects_, log_};
  ServiceAnswers answers_;
  AsyncCallQueue asyncCalls_;
  FakePage page_{identifiers_, objects_, memory_};
  NPNetscapeFuncs browserFuncs_{};
  NPPluginFuncs pluginFuncs_{};
  bool moduleLoaded_ = false;
  // Non-owning: tests own their instances; each leaves this list when destroyed.
  std::vector<FakeInstance*> instances_;
};

}  // namespace qel::test
