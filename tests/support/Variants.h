// NPVariants as a browser makes and takes them: strings live in
// NPN_MemAlloc'd memory (not NUL-terminated), objects carry a reference.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "MemoryLedger.h"
#include "ObjectRegistry.h"
#include "host/NPApi.h"

namespace qel::test {

NPVariant VoidVariant();
NPVariant NullVariant();
NPVariant BoolVariant(bool value);
NPVariant IntVariant(int32_t value);
NPVariant DoubleVariant(double value);
// A copy of the text in a block from `memory`; an empty text has null
// characters, as browsers hand it out.
NPVariant StringVariant(MemoryLedger& memory, std::string_view utf8);
// Retains the object: the variant owns what it holds.
NPVariant ObjectVariant(ObjectRegistry& objects, NPObject* object);

// NPN_ReleaseVariantValue: frees a string's characters through `memory`,
// releases an object, and leaves the variant void.
void ReleaseVariantValue(MemoryLedger& memory, ObjectRegistry& objects, NPVariant* variant);

std::string_view VariantString(const NPVariant& variant);

// One readable line for assertions: "<void>", "<null>", "true", "42", "1.5",
// the string's text itself, "<object>".
std::string VariantText(const NPVariant& variant);
// The same with the variant's type first, for checks that care how a value
// was passed: "Void", "Null", "Bool true", "Int32 1", "Double 2.5",
// "String text", "Object".
std::string TypedVariantText(const NPVariant& variant);

}  // namespace qel::test
