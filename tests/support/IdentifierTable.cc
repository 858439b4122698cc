#include "IdentifierTable.h"

#include <atomic>

namespace qel::test {

namespace {

constexpr int kIndexBits = 24;
constexpr uintptr_t kIndexMask = (uintptr_t{1} << kIndexBits) - 1;

uintptr_t NextTag() {
  static std::atomic<uintptr_t> counter{0};
  return ++counter;
}

}  // namespace

IdentifierTable::IdentifierTable(BrowserLog& log) : log_(log), tag_(NextTag()) {}

NPIdentifier IdentifierTable::Add(Entry entry) {
  entries_.push_back(std::move(entry));
  const uintptr_t index = entries_.size();  // from 1: an identifier is never null
  return reinterpret_cast<NPIdentifier>((tag_ << kIndexBits) | (index & kIndexMask));
}

NPIdentifier IdentifierTable::ForString(std::string_view utf8) {
  std::lock_guard lock(mutex_);
  if (auto it = strings_.find(utf8); it != strings_.end()) return it->second;
  NPIdentifier id = Add({true, std::string(utf8), 0});
  strings_.emplace(std::string(utf8), id);
  return id;
}

NPIdentifier IdentifierTable::ForInt(int32_t value) {
  std::lock_guard lock(mutex_);
  if (auto it = ints_.find(value); it != ints_.end()) return it->second;
  NPIdentifier id = Add({false, std::string(), value});
  ints_.emplace(value, id);
  return id;
}

std::optional<IdentifierTable::Entry> IdentifierTable::Find(NPIdentifier identifier,
                                                            const char* usedBy) const {
  const auto bits = reinterpret_cast<uintptr_t>(identifier);
  const uintptr_t index = bits & kIndexMask;
  {
    std::lock_guard lock(mutex_);
    if ((bits >> kIndexBits) == tag_ && index >= 1 && index <= entries_.size())
      return entries_[index - 1];
  }
  log_.Fault(FaultKind::Identifier,
             std::string(usedBy) + ": identifier " + PointerText(identifier) +
                 " was not handed out by this browser (null, forged or kept from an "
                 "earlier browser)");
  return std::nullopt;
}

std::string IdentifierTable::Text(NPIdentifier identifier) const {
  auto entry = Find(identifier, "identifier text");
  if (!entry) return "<bad identifier>";
  return entry->isString ? entry->name : std::to_string(entry->value);
}

}  // namespace qel::test
