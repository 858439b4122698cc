#include "pack/DirectoryPacker.h"

#include "pack/EntryRules.h"
#include "platform/Error.h"
#include "platform/TreeFiles.h"

namespace qel {

TDirectoryPacker::TDirectoryPacker(std::string DestDir) : DestDir_(std::move(DestDir)) {}

TDirectoryPacker::~TDirectoryPacker() = default;

const TPackEntry& TDirectoryPacker::Entry(int32_t index) const {
  if (index < 0 || index >= EntryCount_) throw EQelError("no entry " + std::to_string(index));
  return Entries_[static_cast<size_t>(index)];
}

std::string TDirectoryPacker::BuildPath(int32_t index) const {
  const TPackEntry* entry = &Entry(index);
  std::string path = EntryName(*entry);
  // A chain longer than the table must go round in a circle.
  for (int32_t steps = 0; entry->Parent >= 0; ++steps) {
    if (steps >= EntryCount_) throw EQelError("entry parents form a circle");
    entry = &Entry(entry->Parent);
    path = EntryName(*entry) + kTreePathSeparator + path;
  }
  return DestDir_ + path;
}

}  // namespace qel
