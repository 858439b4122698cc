#include "PageValue.h"

#include "Variants.h"

namespace qel::test {

PageValue PageValue::Copy(ObjectRegistry& objects, const NPVariant& variant) {
  PageValue value;
  value.scalar_ = variant;
  if (variant.type == NPVariantType_String) {
    value.text_ = std::string(VariantString(variant));
    value.scalar_.value.stringValue = {};
  } else if (variant.type == NPVariantType_Object) {
    value.object_ = ObjectRef::Retained(objects, variant.value.objectValue);
    value.scalar_.value.objectValue = nullptr;
  }
  return value;
}

NPVariant PageValue::Hand(MemoryLedger& memory, ObjectRegistry& objects) const {
  if (scalar_.type == NPVariantType_String) return StringVariant(memory, text_);
  if (scalar_.type == NPVariantType_Object) return ObjectVariant(objects, object_.get());
  return scalar_;
}

std::string PageValue::Text() const {
  if (scalar_.type == NPVariantType_String) return text_;
  return VariantText(scalar_);
}

}  // namespace qel::test
