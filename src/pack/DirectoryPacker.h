// What every reader of a pack's entry table needs: the destination folder,
// the entries, and the paths they stand for.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pack/PackFormat.h"

namespace qel {

class TDirectoryPacker {
 public:
  // `DestDir` ends with a path separator.
  explicit TDirectoryPacker(std::string DestDir);
  virtual ~TDirectoryPacker();
  TDirectoryPacker(const TDirectoryPacker&) = delete;
  TDirectoryPacker& operator=(const TDirectoryPacker&) = delete;

  // DestDir, then the names of the entry's parents and its own name, joined
  // by the host's path separator. Raises EQelError for an index or a Parent
  // outside the table, or parents that go round in a circle.
  std::string BuildPath(int32_t index) const;

  const std::string& DestDir() const { return DestDir_; }
  int32_t EntryCount() const { return EntryCount_; }
  const TPackEntry& Entry(int32_t index) const;

 protected:
  std::string DestDir_;
  std::vector<TPackEntry> Entries_;
  int32_t EntryCount_ = 0;
};

}  // namespace qel
