// One counted reference to an NPObject, given back to the browser when the
// holder goes away.
#pragma once

#include "ObjectRegistry.h"

namespace qel::test {

class ObjectRef {
 public:
  ObjectRef() = default;
  // Takes over a reference the caller already owns.
  ObjectRef(ObjectRegistry& registry, NPObject* adopted) : registry_(&registry), object_(adopted) {}
  ~ObjectRef() { reset(); }
  ObjectRef(ObjectRef&& other) noexcept : registry_(other.registry_), object_(other.release()) {}
  ObjectRef& operator=(ObjectRef&& other) noexcept;
  ObjectRef(const ObjectRef&) = delete;
  ObjectRef& operator=(const ObjectRef&) = delete;

  // Adds a reference of its own.
  static ObjectRef Retained(ObjectRegistry& registry, NPObject* object);

  NPObject* get() const { return object_; }
  explicit operator bool() const { return object_ != nullptr; }
  // Hands the reference to the caller.
  NPObject* release();
  void reset();

 private:
  ObjectRegistry* registry_ = nullptr;
  NPObject* object_ = nullptr;
};

}  // namespace qel::test
