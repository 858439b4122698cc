#include "Variants.h"

#include <charconv>
#include <cstring>

namespace qel::test {

NPVariant VoidVariant() {
  NPVariant v{};
  v.type = NPVariantType_Void;
  return v;
}

NPVariant NullVariant() {
  NPVariant v{};
  v.type = NPVariantType_Null;
  return v;
}

NPVariant BoolVariant(bool value) {
  NPVariant v{};
  v.type = NPVariantType_Bool;
  v.value.boolValue = value;
  return v;
}

NPVariant IntVariant(int32_t value) {
  NPVariant v{};
  v.type = NPVariantType_Int32;
  v.value.intValue = value;
  return v;
}

NPVariant DoubleVariant(double value) {
  NPVariant v{};
  v.type = NPVariantType_Double;
  v.value.doubleValue = value;
  return v;
}

NPVariant StringVariant(MemoryLedger& memory, std::string_view utf8) {
  NPVariant v{};
  v.type = NPVariantType_String;
  if (!utf8.empty()) {
    // Exactly the text's bytes: a plug-in that expects a NUL reads past the block.
    auto* characters = static_cast<char*>(memory.Allocate(static_cast<uint32_t>(utf8.size())));
    std::memcpy(characters, utf8.data(), utf8.size());
    v.value.stringValue.UTF8Characters = characters;
    v.value.stringValue.UTF8Length = static_cast<uint32_t>(utf8.size());
  }
  return v;
}

NPVariant ObjectVariant(ObjectRegistry& objects, NPObject* object) {
  NPVariant v{};
  v.type = NPVariantType_Object;
  v.value.objectValue = objects.Retain(object);
  return v;
}

void ReleaseVariantValue(MemoryLedger& memory, ObjectRegistry& objects, NPVariant* variant) {
  if (variant == nullptr) return;
  if (variant->type == NPVariantType_String) {
    memory.Free(const_cast<NPUTF8*>(variant->value.stringValue.UTF8Characters));
  } else if (variant->type == NPVariantType_Object) {
    objects.Release(variant->value.objectValue);
  }
  *variant = VoidVariant();
}

std::string_view VariantString(const NPVariant& variant) {
  if (variant.type != NPVariantType_String || variant.value.stringValue.UTF8Characters == nullptr)
    return {};
  return {variant.value.stringValue.UTF8Characters, variant.value.stringValue.UTF8Length};
}

std::string VariantText(const NPVariant& variant) {
  switch (variant.type) {
    case NPVariantType_Void:
      return "<void>";
    case NPVariantType_Null:
      return "<null>";
    case NPVariantType_Bool:
      return variant.value.boolValue ? "true" : "false";
    case NPVariantType_Int32:
      return std::to_string(variant.value.intValue);
    case NPVariantType_Double: {
      char text[32];
      auto end = std::to_chars(text, text + sizeof text, variant.value.doubleValue).ptr;
      return std::string(text, end);
    }
    case NPVariantType_String:
      return std::string(VariantString(variant));
    case NPVariantType_Object:
      return "<object>";
  }
  return "<bad variant type " + std::to_string(static_cast<int>(variant.type)) + ">";
}

std::string TypedVariantText(const NPVariant& variant) {
  switch (variant.type) {
    case NPVariantType_Void:
      return "Void";
    case NPVariantType_Null:
      return "Null";
    case NPVariantType_Bool:
      return "Bool " + VariantText(variant);
    case NPVariantType_Int32:
      return "Int32 " + VariantText(variant);
    case NPVariantType_Double:
      return "Double " + VariantText(variant);
    case NPVariantType_String:
      return "String " + VariantText(variant);
    case NPVariantType_Object:
      return "Object";
  }
  return VariantText(variant);
}

}  // namespace qel::test
