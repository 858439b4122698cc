#include "platform/win32/KernelObjectName.h"

#include <cstdint>
#include <mutex>

#include "platform/Error.h"
#include "platform/NamedObjectFolder.h"

namespace qel {
namespace {

std::mutex& ScopeLock() {
  static std::mutex lock;
  return lock;
}

std::string& ScopePrefix() {
  static std::string prefix;
  return prefix;
}

// FNV-1a: the folder's path may hold backslashes, which a kernel object
// name may not, and may be long; its hash stands for it.
uint64_t HashOf(std::string_view text) {
  uint64_t hash = 14695981039346656037ull;
  for (const char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ull;
  }
  return hash;
}

}  // namespace

void SetNamedObjectFolderForTesting(const std::string& folder) {
  std::string prefix;
  if (!folder.empty()) {
    static constexpr char kHex[] = "0123456789abcdef";
    prefix = "qeltest-";
    const uint64_t hash = HashOf(folder);
    for (int shift = 60; shift >= 0; shift -= 4) prefix += kHex[(hash >> shift) & 0xF];
    prefix += '-';
  }
  std::lock_guard<std::mutex> guard(ScopeLock());
  ScopePrefix() = std::move(prefix);
}

std::string KernelObjectName(std::string_view name) {
  if (name.empty()) throw EQelError("a named object needs a name");
  if (name.find('\0') != std::string_view::npos)
    throw EQelError("a named object's name cannot hold a NUL byte");
  std::lock_guard<std::mutex> guard(ScopeLock());
  return ScopePrefix() + std::string(name);
}

}  // namespace qel
