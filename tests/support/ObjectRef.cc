#include "ObjectRef.h"

namespace qel::test {

ObjectRef& ObjectRef::operator=(ObjectRef&& other) noexcept {
  if (this != &other) {
    reset();
    registry_ = other.registry_;
    object_ = other.release();
  }
  return *this;
}

ObjectRef ObjectRef::Retained(ObjectRegistry& registry, NPObject* object) {
  return ObjectRef(registry, registry.Retain(object));
}

NPObject* ObjectRef::release() {
  NPObject* object = object_;
  object_ = nullptr;
  return object;
}

void ObjectRef::reset() {
  if (object_ != nullptr && registry_ != nullptr) registry_->Release(object_);
  object_ = nullptr;
}

}  // namespace qel::test
