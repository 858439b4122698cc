#include "ScriptEngine.h"

#include <string>

#include "Variants.h"

namespace qel::test {

namespace {

// Classes older than these versions end before the member.
constexpr uint32_t kClassVersionWithEnumerate = 2;
constexpr uint32_t kClassVersionWithConstruct = NP_CLASS_STRUCT_VERSION_CTOR;

void MakeVoid(NPVariant* result) {
  if (result != nullptr) *result = VoidVariant();
}

}  // namespace

NPClass* ScriptEngine::ClassOf(NPObject* object, const char* operation) {
  if (!objects_.IsLive(object)) {
    log_.Fault(FaultKind::Object, std::string(operation) + " on " + PointerText(object) +
                                      ", which is not a live object");
    return nullptr;
  }
  return object->_class;
}

bool ScriptEngine::HasMethod(NPObject* object, NPIdentifier name) {
  NPClass* c = ClassOf(object, "HasMethod");
  return c != nullptr && c->hasMethod != nullptr && c->hasMethod(object, name);
}

bool ScriptEngine::Invoke(NPObject* object, NPIdentifier name, const NPVariant* args,
                          uint32_t argCount, NPVariant* result) {
  MakeVoid(result);
  NPClass* c = ClassOf(object, "Invoke");
  return c != nullptr && c->invoke != nullptr && c->invoke(object, name, args, argCount, result);
}

bool ScriptEngine::InvokeDefault(NPObject* object, const NPVariant* args, uint32_t argCount,
                                 NPVariant* result) {
  MakeVoid(result);
  NPClass* c = ClassOf(object, "InvokeDefault");
  return c != nullptr && c->invokeDefault != nullptr &&
         c->invokeDefault(object, args, argCount, result);
}

bool ScriptEngine::HasProperty(NPObject* object, NPIdentifier name) {
  NPClass* c = ClassOf(object, "HasProperty");
  return c != nullptr && c->hasProperty != nullptr && c->hasProperty(object, name);
}

bool ScriptEngine::GetProperty(NPObject* object, NPIdentifier name, NPVariant* result) {
  MakeVoid(result);
  NPClass* c = ClassOf(object, "GetProperty");
  return c != nullptr && c->getProperty != nullptr && c->getProperty(object, name, result);
}

bool ScriptEngine::SetProperty(NPObject* object, NPIdentifier name, const NPVariant* value) {
  NPClass* c = ClassOf(object, "SetProperty");
  return c != nullptr && c->setProperty != nullptr && c->setProperty(object, name, value);
}

bool ScriptEngine::RemoveProperty(NPObject* object, NPIdentifier name) {
  NPClass* c = ClassOf(object, "RemoveProperty");
  return c != nullptr && c->removeProperty != nullptr && c->removeProperty(object, name);
}

bool ScriptEngine::Enumerate(NPObject* object, NPIdentifier** names, uint32_t* count) {
  if (names != nullptr) *names = nullptr;
  if (count != nullptr) *count = 0;
  NPClass* c = ClassOf(object, "Enumerate");
  return c != nullptr && c->structVersion >= kClassVersionWithEnumerate &&
         c->enumerate != nullptr && c->enumerate(object, names, count);
}

bool ScriptEngine::Construct(NPObject* object, const NPVariant* args, uint32_t argCount,
                             NPVariant* result) {
  MakeVoid(result);
  NPClass* c = ClassOf(object, "Construct");
  return c != nullptr && c->structVersion >= kClassVersionWithConstruct &&
         c->construct != nullptr && c->construct(object, args, argCount, result);
}

}  // namespace qel::test
