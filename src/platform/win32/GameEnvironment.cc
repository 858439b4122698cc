#include "platform/win32/GameEnvironment.h"

#include <algorithm>
#include <vector>

#include "platform/GameProcess.h"

namespace qel::win32 {
namespace {

char16_t AsciiUpper(char16_t unit) { return unit >= u'a' && unit <= u'z' ? unit - u'a' + u'A' : unit; }

// The name of a "NAME=value" text. Names of the system's own entries
// ("=C:=C:\games") start with '='.
std::u16string_view NameOf(std::u16string_view entry) {
  return entry.substr(0, entry.find(u'=', entry.empty() ? 0 : 1));
}

bool NameLess(std::u16string_view a, std::u16string_view b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [](char16_t x, char16_t y) { return AsciiUpper(x) < AsciiUpper(y); });
}

bool SameName(std::u16string_view a, std::u16string_view b) { return !NameLess(a, b) && !NameLess(b, a); }

}  // namespace

std::u16string GameEnvironmentBlock(std::u16string_view current, std::u16string_view parameters) {
  const std::u16string variable(std::begin(kGameParametersVariable), std::end(kGameParametersVariable) - 1);
  std::vector<std::u16string_view> entries;
  while (!current.empty() && current.front() != u'\0') {
    const std::u16string_view entry = current.substr(0, current.find(u'\0'));
    current.remove_prefix(std::min(current.size(), entry.size() + 1));
    if (!SameName(NameOf(entry), variable)) entries.push_back(entry);
  }
  const std::u16string ours = variable + u'=' + std::u16string(parameters);
  if (!parameters.empty()) {
    const auto place = std::find_if(entries.begin(), entries.end(),
                                    [&](std::u16string_view entry) { return NameLess(variable, NameOf(entry)); });
    entries.insert(place, ours);
  }

  std::u16string block;
  for (const std::u16string_view entry : entries) {
    block += entry;
    block.push_back(u'\0');
  }
  // An empty block is still two zeros long.
  if (entries.empty()) block.push_back(u'\0');
  block.push_back(u'\0');
  return block;
}

}  // namespace qel::win32
