// NPIdentifiers as a browser hands them out: string identifiers interned by
// their UTF-8 text, integer identifiers interned by value.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "BrowserLog.h"
#include "host/NPApi.h"

namespace qel::test {

class IdentifierTable {
 public:
  struct Entry {
    bool isString;
    std::string name;  // the text of a string identifier
    int32_t value;     // the value of an integer identifier
  };

  explicit IdentifierTable(BrowserLog& log);
  IdentifierTable(const IdentifierTable&) = delete;
  IdentifierTable& operator=(const IdentifierTable&) = delete;

  NPIdentifier ForString(std::string_view utf8);
  NPIdentifier ForInt(int32_t value);
  // An identifier this table did not hand out (for example one kept from an
  // earlier browser) is recorded as a fault and answers nothing.
  std::optional<Entry> Find(NPIdentifier identifier, const char* usedBy) const;
  // "name" for a string identifier, the decimal value for an integer one.
  std::string Text(NPIdentifier identifier) const;

 private:
  NPIdentifier Add(Entry entry);

  BrowserLog& log_;
  // Identifiers carry the table's tag so that one from another table never
  // aliases an entry here, even when memory is reused.
  const uintptr_t tag_;
  mutable std::mutex mutex_;
  std::deque<Entry> entries_;
  std::map<std::string, NPIdentifier, std::less<>> strings_;
  std::map<int32_t, NPIdentifier> ints_;
};

}  // namespace qel::test
