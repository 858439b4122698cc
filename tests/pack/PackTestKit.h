// Helpers of the pack tests: a test key installed as the
// library's public key, hand-built bodies and packs, and folder snapshots.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "TempFolder.h"
#include "pack/PackFormat.h"
#include "qelpack/PackSigner.h"

namespace qel::test {

namespace fs = std::filesystem;

// While it lives, the library's PUBLIC_KEY is the test key's.
class TTestKey {
 public:
  TTestKey();
  ~TTestKey();
  TTestKey(const TTestKey&) = delete;
  TTestKey& operator=(const TTestKey&) = delete;

  // Generated once per process.
  static const pack_tool::TPackSigner& Signer();
};

// Builds a body entry by entry and block by block. Blocks cover the next
// entries in order; each kind's data is made from the contents given.
class TBodyBuilder {
 public:
  int32_t Folder(const std::string& name, int32_t parent = -1);
  int32_t File(const std::string& name, const std::string& content, int32_t parent = -1);
  TPackEntry& Entry(int32_t index) { return Entries_[static_cast<size_t>(index)]; }

  // A block with the given contents; `unpacked` overrides U.
  void Stored(int32_t count, const std::string& content, std::optional<int32_t> unpacked = {});
  void Compressed(int32_t count, const std::string& content, std::optional<int32_t> unpacked = {});
  void Raw(std::span<const uint8_t> bytes);

  std::vector<uint8_t> Body() const;

  int32_t MaxBlockSize = 1 << 20;
  // Computed from the blocks unless set.
  std::optional<int32_t> TotalSize;
  std::optional<int32_t> EntryCount;

 private:
  void Block(int32_t packed, int32_t unpacked, int32_t count, std::span<const uint8_t> data);

  std::vector<TPackEntry> Entries_;
  std::vector<uint8_t> Blocks_;
  int64_t Unpacked_ = 0;
};

TPackEntry MakeEntry(const std::string& name, bool is_file, int32_t size, int32_t parent = -1);

// Header, body, signature by the test key (or `signer`), frame.
std::vector<uint8_t> SignedPack(std::span<const uint8_t> body, const std::string& guid = "{Game}",
                                const pack_tool::TPackSigner& signer = TTestKey::Signer());
// Re-signs a pack whose signed region was changed after framing.
void Resign(std::vector<uint8_t>& pack, const pack_tool::TPackSigner& signer = TTestKey::Signer());
TPackHeader& HeaderOf(std::vector<uint8_t>& pack);

// Relative path, its names joined by '/', -> content; folders map to
// "<folder>".
std::map<std::string, std::string> ReadTree(const fs::path& root);
std::string ReadText(const fs::path& path);
// A relative path written with '/' in the form the system writes it, with
// its own delimiter.
std::string Native(std::string relative);
// Makes a symbolic link at `link` to `target` (a folder link when the
// target is a folder); false where this system's standard library makes no
// links (MinGW's on Windows), for the test to skip what needs them.
bool MakeSymlink(const fs::path& target, const fs::path& link);
inline constexpr const char* kNoSymlinks = "the standard library makes no symbolic links here";
void WriteText(const fs::path& path, const std::string& text);
// Bytes that do not compress.
std::string RandomBytes(size_t size, uint32_t seed);
// Bytes that compress well.
std::string TextBytes(size_t size);

// A small body: folder "data" holding "one" (stored) and "two" (compressed).
std::vector<uint8_t> TwoFilesInAFolder();

}  // namespace qel::test
