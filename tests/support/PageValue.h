// A value held by the page model: strings kept as the page's own text,
// objects held by a counted reference.
#pragma once

#include <string>

#include "MemoryLedger.h"
#include "ObjectRef.h"
#include "host/NPApi.h"

namespace qel::test {

class PageValue {
 public:
  // Copies a string's text and retains an object.
  static PageValue Copy(ObjectRegistry& objects, const NPVariant& variant);

  // A variant for a caller who will release it: strings in a fresh block,
  // objects with a reference of the caller's own.
  NPVariant Hand(MemoryLedger& memory, ObjectRegistry& objects) const;
  NPVariantType Type() const { return scalar_.type; }
  // Non-owning; null unless the value is an object.
  NPObject* Object() const { return object_.get(); }
  std::string Text() const;

 private:
  NPVariant scalar_{};  // the type, and the value of every non-string, non-object
  std::string text_;
  ObjectRef object_;
};

}  // namespace qel::test
