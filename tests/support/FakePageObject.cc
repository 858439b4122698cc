#include "FakePageObject.h"

#include <cstring>

#include "FakePage.h"
#include "Variants.h"

namespace qel::test {

namespace {

FakePageObject* Self(NPObject* object) { return static_cast<FakePageObject*>(object); }

// The page services an object's class needs; null once the page is gone.
FakePage* PageOf(NPObject* object) { return Self(object)->page; }

std::string NameOf(FakePage& page, NPIdentifier name) { return page.Identifiers().Text(name); }

extern "C" {

// The registry's reference count owns the object; deallocate deletes it.
static NPObject* Allocate(NPP, NPClass*) { return new FakePageObject; }

static void Deallocate(NPObject* object) {
  FakePageObject* self = Self(object);
  if (self->page != nullptr) self->page->Forget(self);
  delete self;
}

static bool HasMethod(NPObject* object, NPIdentifier name) {
  FakePage* page = PageOf(object);
  return page != nullptr && Self(object)->methods.count(NameOf(*page, name)) != 0;
}

static bool Invoke(NPObject* object, NPIdentifier name, const NPVariant* args, uint32_t argCount,
                   NPVariant* result) {
  FakePage* page = PageOf(object);
  if (page == nullptr) return false;
  auto& methods = Self(object)->methods;
  auto it = methods.find(NameOf(*page, name));
  if (it == methods.end()) return false;
  // A copy: the method may redefine itself while it runs.
  FakePageObject::Method method = it->second;
  return method(args, argCount, result);
}

static bool InvokeDefault(NPObject*, const NPVariant*, uint32_t, NPVariant*) { return false; }

static bool HasProperty(NPObject* object, NPIdentifier name) {
  FakePage* page = PageOf(object);
  return page != nullptr && Self(object)->Has(NameOf(*page, name));
}

static bool GetProperty(NPObject* object, NPIdentifier name, NPVariant* result) {
  FakePage* page = PageOf(object);
  if (page == nullptr) return false;
  const std::string key = NameOf(*page, name);
  ++Self(object)->reads[key];
  auto& properties = Self(object)->properties;
  auto it = properties.find(key);
  if (it == properties.end()) return false;
  *result = it->second.Hand(page->Memory(), page->Objects());
  return true;
}

static bool SetProperty(NPObject* object, NPIdentifier name, const NPVariant* value) {
  FakePage* page = PageOf(object);
  if (page == nullptr || value == nullptr) return false;
  Self(object)->Set(NameOf(*page, name), *value);
  return true;
}

static bool RemoveProperty(NPObject* object, NPIdentifier name) {
  FakePage* page = PageOf(object);
  if (page == nullptr) return false;
  auto& properties = Self(object)->properties;
  auto it = properties.find(NameOf(*page, name));
  if (it != properties.end()) {
    // Released after the map no longer holds it: the release may reach back.
    PageValue removed = std::move(it->second);
    properties.erase(it);
  }
  return true;
}

static bool Enumerate(NPObject* object, NPIdentifier** names, uint32_t* count) {
  FakePage* page = PageOf(object);
  if (page == nullptr) return false;
  FakePageObject* self = Self(object);
  const size_t total = self->properties.size() + self->methods.size();
  *count = static_cast<uint32_t>(total);
  *names = nullptr;
  if (total == 0) return true;
  // The caller frees the array with NPN_MemFree.
  *names = static_cast<NPIdentifier*>(
      page->Memory().Allocate(static_cast<uint32_t>(total * sizeof(NPIdentifier))));
  size_t i = 0;
  for (const auto& [key, value] : self->properties)
    (*names)[i++] = page->Identifiers().ForString(key);
  for (const auto& [key, method] : self->methods)
    (*names)[i++] = page->Identifiers().ForString(key);
  return true;
}

static bool Construct(NPObject*, const NPVariant*, uint32_t, NPVariant*) { return false; }

}  // extern "C"

NPClass pageObjectClass = {
    NP_CLASS_STRUCT_VERSION,
    Allocate,
    Deallocate,
    nullptr,  // invalidate
    HasMethod,
    Invoke,
    InvokeDefault,
    HasProperty,
    GetProperty,
    SetProperty,
    RemoveProperty,
    Enumerate,
    Construct,
};

}  // namespace

NPClass* FakePageObject::Class() { return &pageObjectClass; }

FakePageObject* FakePageObject::From(NPObject* object) {
  return object != nullptr && object->_class == &pageObjectClass ? Self(object) : nullptr;
}

void FakePageObject::Set(std::string_view name, const NPVariant& value) {
  if (page == nullptr) return;
  PageValue copy = PageValue::Copy(page->Objects(), value);
  auto it = properties.find(name);
  if (it == properties.end()) {
    properties.emplace(std::string(name), std::move(copy));
  } else {
    // The old value goes after the new one is in place: it may be the same object.
    std::swap(it->second, copy);
  }
}

bool FakePageObject::Has(std::string_view name) const { return properties.count(name) != 0; }

std::string FakePageObject::Text(std::string_view name) const {
  auto it = properties.find(name);
  return it == properties.end() ? "<absent>" : it->second.Text();
}

NPObject* FakePageObject::ObjectAt(std::string_view name) const {
  auto it = properties.find(name);
  return it == properties.end() ? nullptr : it->second.Object();
}

void FakePageObject::DefineMethod(std::string name, Method method) {
  methods.insert_or_assign(std::move(name), std::move(method));
}

void FakePageObject::DefineFunction(std::string name, const NPVariant& result) {
  if (page == nullptr) return;
  functionResults.insert_or_assign(name, PageValue::Copy(page->Objects(), result));
  DefineMethod(name, [this, name](const NPVariant* args, uint32_t argCount, NPVariant* out) {
    RecordCall(name, args, argCount);
    auto it = functionResults.find(name);
    if (it == functionResults.end() || page == nullptr) return false;
    *out = it->second.Hand(page->Memory(), page->Objects());
    return true;
  });
}

void FakePageObject::DefineThrowingFunction(std::string name) {
  functionResults.erase(name);
  DefineMethod(name, [this, name](const NPVariant* args, uint32_t argCount, NPVariant*) {
    RecordCall(name, args, argCount);
    return false;
  });
}

void FakePageObject::RecordCall(const std::string& name, const NPVariant* args,
                                uint32_t argCount) {
  std::vector<std::string> typed;
  for (uint32_t i = 0; i < argCount; ++i) typed.push_back(TypedVariantText(args[i]));
  calls[name].push_back(std::move(typed));
}

std::vector<std::vector<std::string>> FakePageObject::CallsOf(std::string_view name) const {
  auto it = calls.find(name);
  return it == calls.end() ? std::vector<std::vector<std::string>>{} : it->second;
}

void FakePageObject::AnswerScript(std::string script, const NPVariant& result) {
  if (page == nullptr) return;
  scriptResults.insert_or_assign(std::move(script), PageValue::Copy(page->Objects(), result));
}

bool FakePageObject::EvaluateScript(std::string_view script, NPVariant* result) {
  evaluated.emplace_back(script);
  auto it = scriptResults.find(script);
  if (it == scriptResults.end() || page == nullptr) return false;
  *result = it->second.Hand(page->Memory(), page->Objects());
  return true;
}

int FakePageObject::ReadsOf(std::string_view name) const {
  auto it = reads.find(name);
  return it == reads.end() ? 0 : it->second;
}

}  // namespace qel::test
