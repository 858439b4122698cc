#include "pack/EntryRules.h"

#include <algorithm>
#include <cstring>

namespace qel {

std::string EntryName(const TPackEntry& entry) {
  const char* end = static_cast<const char*>(std::memchr(entry.Name, 0, kEntryNameSize));
  return std::string(entry.Name, end ? end : entry.Name + kEntryNameSize);
}

bool EntryNameIsSound(const TPackEntry& entry) {
  const std::string name = EntryName(entry);
  if (name.empty() || name == "." || name == "..") return false;
  if (name.find_first_of("/\\") != std::string::npos) return false;
  const char* padding = entry.Name + name.size();
  return std::all_of(padding, entry.Name + kEntryNameSize, [](char c) { return c == 0; });
}

bool EntryTableIsSound(std::span<const TPackEntry> entries) {
  for (size_t index = 0; index < entries.size(); ++index) {
    const TPackEntry& entry = entries[index];
    if (!EntryNameIsSound(entry)) return false;
    if (entry.Parent < 0) continue;
    if (static_cast<size_t>(entry.Parent) >= index) return false;
    if (entries[static_cast<size_t>(entry.Parent)].IsFile != 0) return false;
  }
  return true;
}

}  // namespace qel
