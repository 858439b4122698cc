#include "pack/EntryRules.h"

#include <cstring>

namespace qel {

std::string EntryName(const TPackEntry& entry) {
  const char* end = static_cast<const char*>(std::memchr(entry.Name, 0, kEntryNameSize));
  return std::string(entry.Name, end ? end : entry.Name + kEntryNameSize);
}

bool EntryNameIsSound(const TPackEntry& entry) {
  const std::string name = EntryName(entry);
  if (name.empty() || name == "." || name == "..") return false;
  return name.find_first_of("/\\") == std::string::npos;
}

bool EntryTableIsSound(std::span<const TPackEntry> entries) {
  return !FindEntryTableFault(entries);
}

TPackFailure FindEntryTableFault(std::span<const TPackEntry> entries) {
  TPackFailure fault;
  for (size_t index = 0; index < entries.size(); ++index) {
    const TPackEntry& entry = entries[index];
    if (!EntryNameIsSound(entry)) {
      fault.Kind = pfEntryName;
    } else if (entry.Parent >= 0 && static_cast<size_t>(entry.Parent) >= index) {
      fault.Kind = pfEntryParentOutside;
    } else if (entry.Parent >= 0 && entries[static_cast<size_t>(entry.Parent)].IsFile != 0) {
      fault.Kind = pfEntryParentIsFile;
    } else {
      continue;
    }
    fault.Entry = static_cast<int32_t>(index);
    fault.EntryName = EntryName(entry);
    fault.Actual = entry.Parent;
    return fault;
  }
  return fault;
}

}  // namespace qel
