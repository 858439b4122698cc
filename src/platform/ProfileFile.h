// A private-profile (INI) file, read by the rules of the Windows profile
// services: lines split at line feeds and stripped of blanks, "[name]"
// starts a section, "key=value" sets a key, ";" starts a comment line;
// section and key names match without regard to letter case and the first
// match wins (only the first section of a name is searched); a value keeps
// its inner blanks, loses one pair of enclosing quotes, and is cut to 2047
// characters. A UTF-8 byte-order mark at the start is skipped.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/FileSystem.h"

namespace qel {

class TProfileFile {
 public:
  // Values are cut to this length, as a 2048-byte buffer holds them.
  static constexpr std::size_t kValueLimit = 2047;
  // Larger files are refused rather than read into memory.
  static constexpr uint64_t kFileLimit = 16 * 1024 * 1024;

  // An empty profile: every lookup gives its default.
  TProfileFile() = default;
  static TProfileFile Parse(std::string_view text);
  // A missing or unreadable file reads as empty, as the profile services
  // answer defaults for it. Raises EQelError for a file beyond kFileLimit.
  static TProfileFile Load(TFileSystem& files, const std::string& path);

  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view default_value) const;

 private:
  struct TEntry {
    std::string Key;
    std::string Value;
    bool HasValue = false;
  };
  struct TSection {
    std::string Name;
    std::vector<TEntry> Entries;
  };

  std::vector<TSection> Sections_;
};

}  // namespace qel
