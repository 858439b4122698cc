#include "host/NPRuntime.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "host/NPFuncs.h"
#include "platform/AnsiText.h"
#include "platform/Error.h"

namespace qel {

std::string IdentifierToString(NPIdentifier identifier) {
  if (!NPN_IdentifierIsString(identifier)) return {};
  NPUTF8* utf8 = NPN_UTF8FromIdentifier(identifier);
  if (utf8 == nullptr) return {};
  std::string copy(utf8);
  NPN_MemFree(utf8);
  return Utf8ToAnsi(copy);
}

std::string NPStringToString(const NPString* text) {
  if (text == nullptr || text->UTF8Characters == nullptr) return {};
  return Utf8ToAnsi(std::string_view(text->UTF8Characters, text->UTF8Length));
}

namespace {

NPVariant StringArgument(const std::string& utf8) {
  NPVariant v{};
  v.type = NPVariantType_String;
  // Never a null block, so that an empty string is still a string.
  char* block = static_cast<char*>(std::malloc(utf8.size() + 1));
  if (block == nullptr) throw std::bad_alloc();
  std::memcpy(block, utf8.data(), utf8.size());
  block[utf8.size()] = '\0';
  v.value.stringValue.UTF8Characters = block;
  v.value.stringValue.UTF8Length = static_cast<uint32_t>(utf8.size());
  return v;
}

}  // namespace

NPVariant VariantToNPVariant(const TVariant& value) {
  NPVariant v{};
  v.type = NPVariantType_Void;
  switch (value.Kind()) {
    case TVariantKind::vkShortInt:
    case TVariantKind::vkSmallInt:
    case TVariantKind::vkInteger:
    case TVariantKind::vkByte:
    case TVariantKind::vkWord:
      v.type = NPVariantType_Int32;
      v.value.intValue = static_cast<int32_t>(value.AsInteger());
      break;
    case TVariantKind::vkSingle:
    case TVariantKind::vkDouble:
      v.type = NPVariantType_Double;
      v.value.doubleValue = value.AsFloat();
      break;
    case TVariantKind::vkBoolean:
      v.type = NPVariantType_Bool;
      v.value.boolValue = value.AsBoolean();
      break;
    case TVariantKind::vkWideText:
      return StringArgument(Utf16ToUtf8(value.AsWideText()));
    case TVariantKind::vkAnsiText:
      return StringArgument(AnsiToUtf8(value.AsAnsiText()));
    default:
      break;  // the page has no form for these: void
  }
  return v;
}

void FreeNPVariantArgument(NPVariant& argument) {
  if (argument.type == NPVariantType_String) {
    std::free(const_cast<NPUTF8*>(argument.value.stringValue.UTF8Characters));
  }
  argument = NPVariant{};
}

TNPArguments::TNPArguments(const std::vector<TVariant>& values) {
  Items_.reserve(values.size());
  try {
    for (const TVariant& value : values) Items_.push_back(VariantToNPVariant(value));
  } catch (...) {
    for (NPVariant& item : Items_) FreeNPVariantArgument(item);
    throw;
  }
}

TNPArguments::~TNPArguments() {
  for (NPVariant& item : Items_) FreeNPVariantArgument(item);
}

TVariant NPVariantToVariant(const NPVariant& value) {
  switch (value.type) {
    case NPVariantType_Bool:
      return TVariant::Boolean(value.value.boolValue);
    case NPVariantType_Int32:
      return TVariant::Integer(value.value.intValue);
    case NPVariantType_Double:
      return TVariant::Double(value.value.doubleValue);
    case NPVariantType_String: {
      const NPString& s = value.value.stringValue;
      if (s.UTF8Characters == nullptr) return TVariant::WideText({});
      return TVariant::WideText(Utf8ToUtf16(std::string_view(s.UTF8Characters, s.UTF8Length)));
    }
    default:
      return {};
  }
}

void SetStringResult(NPVariant* result, std::string_view utf8) {
  NPUTF8* block = nullptr;
  if (!utf8.empty()) {
    block = static_cast<NPUTF8*>(NPN_MemAlloc(static_cast<uint32_t>(utf8.size())));
    if (block == nullptr) throw EQelError("Out of memory for a script result");
    std::memcpy(block, utf8.data(), utf8.size());
  }
  result->type = NPVariantType_String;
  result->value.stringValue.UTF8Characters = block;
  result->value.stringValue.UTF8Length = static_cast<uint32_t>(utf8.size());
}

void SetInt32Result(NPVariant* result, int32_t value) {
  result->type = NPVariantType_Int32;
  result->value.intValue = value;
}

void SetBoolResult(NPVariant* result, bool value) {
  result->type = NPVariantType_Bool;
  result->value.boolValue = value;
}

}  // namespace qel
