#include "FakeBrowser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "BrowserFuncs.h"

namespace qel::test {

namespace {

std::atomic<FakeBrowser*> current{nullptr};

}  // namespace

FakeBrowser::FakeBrowser(PluginEntry plugin)
    : mainThread_(std::this_thread::get_id()), plugin_(plugin) {
  FakeBrowser* none = nullptr;
  if (!current.compare_exchange_strong(none, this)) {
    std::fprintf(stderr, "FakeBrowser: another FakeBrowser is still alive\n");
    std::abort();
  }
  FillBrowserFuncs(browserFuncs_);
}

FakeBrowser::~FakeBrowser() {
  // Copied: destroying an instance takes it off the list.
  for (FakeInstance* instance : std::vector<FakeInstance*>(instances_)) {
    instance->Destroy();
    instance->Detach();
  }
  if (moduleLoaded_) Shutdown();
  page_.Close();
  current.store(nullptr);
}

FakeBrowser* FakeBrowser::Current() { return current.load(); }

NPError FakeBrowser::Initialize() {
  if (plugin_.initialize == nullptr) return NPERR_INVALID_PLUGIN_ERROR;
  pluginFuncs_ = {};
  pluginFuncs_.size = sizeof(NPPluginFuncs);
  const NPError error = plugin_.initialize(&browserFuncs_, &pluginFuncs_);
  if (error == NPERR_NO_ERROR) moduleLoaded_ = true;
  return error;
}

NPError FakeBrowser::Shutdown() {
  moduleLoaded_ = false;
  if (plugin_.shutdown == nullptr) return NPERR_NO_ERROR;
  return plugin_.shutdown();
}

std::unique_ptr<FakeInstance> FakeBrowser::NewInstance(
    const std::string& mime, std::vector<std::pair<std::string, std::string>> attributes,
    NPError* result) {
  auto answer = [result](NPError error) {
    if (result != nullptr) *result = error;
  };
  if (pluginFuncs_.newp == nullptr) {
    answer(NPERR_INVALID_FUNCTABLE_ERROR);
    return nullptr;
  }
  // Private constructor; the unique_ptr owns it from here.
  std::unique_ptr<FakeInstance> instance(new FakeInstance(*this));
  // These buffers die when this call returns: a plug-in must copy what it keeps.
  std::string type = mime;
  std::vector<char*> names;
  std::vector<char*> values;
  for (auto& [name, value] : attributes) {
    names.push_back(name.data());
    values.push_back(value.data());
  }
  instances_.push_back(instance.get());
  const NPError error =
      pluginFuncs_.newp(type.data(), instance->Npp(), NP_EMBED, static_cast<int16_t>(names.size()),
                        names.data(), values.data(), nullptr);
  answer(error);
  if (error != NPERR_NO_ERROR) {
    // A refused instance never gets NPP_Destroy.
    instance->destroyed_ = true;
    Forget(instance.get());
    return nullptr;
  }
  return instance;
}

bool FakeBrowser::IsLiveInstance(NPP instance) const {
  return std::any_of(instances_.begin(), instances_.end(),
                     [instance](FakeInstance* i) { return i->Npp() == instance; });
}

void FakeBrowser::Forget(FakeInstance* instance) {
  instances_.erase(std::remove(instances_.begin(), instances_.end(), instance), instances_.end());
}

bool FakeBrowser::GetProperty(NPObject* object, std::string_view name, NPVariant* result) {
  return script_.GetProperty(object, Identifier(name), result);
}

bool FakeBrowser::SetProperty(NPObject* object, std::string_view name, const NPVariant& value) {
  return script_.SetProperty(object, Identifier(name), &value);
}

bool FakeBrowser::HasProperty(NPObject* object, std::string_view name) {
  return script_.HasProperty(object, Identifier(name));
}

bool FakeBrowser::RemoveProperty(NPObject* object, std::string_view name) {
  return script_.RemoveProperty(object, Identifier(name));
}

bool FakeBrowser::HasMethod(NPObject* object, std::string_view name) {
  return script_.HasMethod(object, Identifier(name));
}

bool FakeBrowser::Invoke(NPObject* object, std::string_view name, std::span<const NPVariant> args,
                         NPVariant* result) {
  return script_.Invoke(object, Identifier(name), args.data(), static_cast<uint32_t>(args.size()),
                        result);
}

bool FakeBrowser::InvokeDefault(NPObject* object, std::span<const NPVariant> args,
                                NPVariant* result) {
  return script_.InvokeDefault(object, args.data(), static_cast<uint32_t>(args.size()), result);
}

bool FakeBrowser::Construct(NPObject* object, std::span<const NPVariant> args, NPVariant* result) {
  return script_.Construct(object, args.data(), static_cast<uint32_t>(args.size()), result);
}

std::optional<std::vector<std::string>> FakeBrowser::Enumerate(NPObject* object) {
  NPIdentifier* names = nullptr;
  uint32_t count = 0;
  if (!script_.Enumerate(object, &names, &count)) return std::nullopt;
  std::vector<std::string> texts;
  for (uint32_t i = 0; i < count; ++i) texts.push_back(identifiers_.Text(names[i]));
  memory_.Free(names);
  return texts;
}

size_t FakeBrowser::RunPendingAsyncCalls() {
  size_t ran = 0;
  for (const AsyncCallQueue::Call& call : asyncCalls_.TakeAll()) {
    if (!IsLiveInstance(call.instance)) continue;
    call.function(call.userData);
    ++ran;
  }
  return ran;
}

void FakeBrowser::ExpectClean(const char* file, int line) {
  ClosePage();
  std::vector<std::string> problems;
  if (!instances_.empty())
    problems.push_back(std::to_string(instances_.size()) + " plug-in instance(s) not destroyed");
  if (memory_.LiveBlocks() != 0)
    problems.push_back(std::to_string(memory_.LiveBlocks()) +
                       " block(s) from NPN_MemAlloc never freed (" +
                       std::to_string(memory_.LiveBytes()) + " bytes)");
  for (NPObject* object : objects_.LiveObjects())
    problems.push_back("object " + PointerText(object) + " of class " +
                       PointerText(object->_class) + " still has " +
                       std::to_string(objects_.ReferenceCount(object)) + " reference(s)");
  for (std::string& fault : log_.Faults()) problems.push_back(std::move(fault));
  if (problems.empty()) return;
  std::string text = "the plug-in did not leave the browser clean:";
  for (const std::string& problem : problems) text += "\n  - " + problem;
  ADD_FAILURE_AT(file, line) << text;
}

}  // namespace qel::test
