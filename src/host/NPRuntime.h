// Conversions between the browser's scripting forms (identifiers, NPString,
// NPVariant; UTF-8) and the system's own (8-bit text, TVariant).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "host/NPApi.h"
#include "host/Variant.h"

namespace qel {

// The name an identifier stands for, as 8-bit text; empty for an integer
// identifier.
std::string IdentifierToString(NPIdentifier identifier);

// The UTF-8 bytes of a browser string as 8-bit text.
std::string NPStringToString(const NPString* text);

// A value the system passes to the page. String values live in a block the
// library allocated: free it with FreeNPVariantArgument after the browser call
// (the browser never takes arguments over).
NPVariant VariantToNPVariant(const TVariant& value);
void FreeNPVariantArgument(NPVariant& argument);

// Arguments for one browser call; their string blocks are freed with it.
class TNPArguments {
 public:
  TNPArguments() = default;
  explicit TNPArguments(const std::vector<TVariant>& values);
  ~TNPArguments();
  TNPArguments(const TNPArguments&) = delete;
  TNPArguments& operator=(const TNPArguments&) = delete;

  // Null when there are no arguments, as the browser expects.
  const NPVariant* Data() const { return Items_.empty() ? nullptr : Items_.data(); }
  uint32_t Count() const { return static_cast<uint32_t>(Items_.size()); }

 private:
  std::vector<NPVariant> Items_;
};

// A plain value the page returned (void and null give an empty TVariant,
// strings give wide text). Objects are not plain values: empty as well; the
// page-object wrapper handles them.
TVariant NPVariantToVariant(const NPVariant& value);

// Results handed to the browser, which owns them afterwards: a string result
// is UTF-8 in memory from NPN_MemAlloc (null characters for an empty text).
void SetStringResult(NPVariant* result, std::string_view utf8);
void SetInt32Result(NPVariant* result, int32_t value);
void SetBoolResult(NPVariant* result, bool value);

}  // namespace qel
