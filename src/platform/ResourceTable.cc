#include "platform/ResourceTable.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/Resource.h"

namespace qel {
namespace {

std::string FoldAscii(std::string_view text) {
  std::string folded(text);
  std::transform(folded.begin(), folded.end(), folded.begin(),
                 [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; });
  return folded;
}

using TKey = std::pair<std::string, std::string>;

struct TResourceTable {
  std::mutex Lock;
  std::map<TKey, std::span<const uint8_t>> Registered;
  // Owned copies that tests put in place of the library's resources.
  std::map<TKey, std::vector<uint8_t>> Overrides;
};

// Filled by static registrations before anything can look a resource up.
TResourceTable& Table() {
  static TResourceTable table;
  return table;
}

TKey KeyOf(std::string_view type, std::string_view name) {
  return {FoldAscii(type), FoldAscii(name)};
}

}  // namespace

std::optional<std::span<const uint8_t>> FindResourceOverride(std::string_view type,
                                                             std::string_view name) {
  TResourceTable& table = Table();
  const std::lock_guard lock(table.Lock);
  if (auto found = table.Overrides.find(KeyOf(type, name)); found != table.Overrides.end())
    return std::span<const uint8_t>(found->second);
  return std::nullopt;
}

std::optional<std::span<const uint8_t>> FindRegisteredResource(std::string_view type,
                                                               std::string_view name) {
  TResourceTable& table = Table();
  const std::lock_guard lock(table.Lock);
  if (auto found = table.Registered.find(KeyOf(type, name)); found != table.Registered.end())
    return found->second;
  return std::nullopt;
}

TResourceRegistration::TResourceRegistration(std::string_view type, std::string_view name,
                                             std::span<const uint8_t> bytes) {
  TResourceTable& table = Table();
  const std::lock_guard lock(table.Lock);
  table.Registered[KeyOf(type, name)] = bytes;
}

void SetLibraryResourceForTesting(std::string_view type, std::string_view name,
                                  std::optional<std::vector<uint8_t>> bytes) {
  TResourceTable& table = Table();
  const std::lock_guard lock(table.Lock);
  if (bytes)
    table.Overrides[KeyOf(type, name)] = std::move(*bytes);
  else
    table.Overrides.erase(KeyOf(type, name));
}

}  // namespace qel
