// The library's resources are its module's resource section (the DLL's come
// from src/windows/npqelgame.rc.in). Windows compares string names and types
// without regard to case itself. A test override comes first; a resource that
// code registers with TResourceRegistration is still found when the module
// has none by that type and name, so that a registration means the same on
// every system.
#include "platform/Resource.h"

#include <windows.h>

#include <string>

#include "platform/ResourceTable.h"

namespace qel {
namespace {

// A name that holds a NUL would be cut short by the system and answer for
// another resource; one that starts with '#' would be read as a number.
bool IsStringResourceName(std::string_view text) {
  return !text.empty() && text.find('\0') == std::string_view::npos && text.front() != '#';
}

// The module that holds this code: the DLL inside a browser, the program
// itself in a test.
HMODULE OwnModule() {
  HMODULE module = nullptr;
  if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                              GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCSTR>(&OwnModule), &module))
    return nullptr;
  return module;
}

std::optional<std::span<const uint8_t>> FindModuleResource(std::string_view type,
                                                           std::string_view name) {
  if (!IsStringResourceName(type) || !IsStringResourceName(name)) return std::nullopt;
  const HMODULE module = OwnModule();
  if (module == nullptr) return std::nullopt;
  const std::string type_text(type), name_text(name);
  // Resources live as long as the module, which needs no unlocking or freeing.
  const HRSRC info = FindResourceA(module, name_text.c_str(), type_text.c_str());
  if (info == nullptr) return std::nullopt;
  const HGLOBAL loaded = LoadResource(module, info);
  const DWORD size = SizeofResource(module, info);
  const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
  if (bytes == nullptr) return std::nullopt;
  return std::span(static_cast<const uint8_t*>(bytes), size);
}

}  // namespace

std::optional<std::span<const uint8_t>> FindLibraryResource(std::string_view type,
                                                            std::string_view name) {
  if (auto replaced = FindResourceOverride(type, name)) return replaced;
  if (auto own = FindModuleResource(type, name)) return own;
  return FindRegisteredResource(type, name);
}

}  // namespace qel
