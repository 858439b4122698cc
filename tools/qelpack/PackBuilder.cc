#include "qelpack/PackBuilder.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <limits>
#include <optional>

#include "pack/EntryRules.h"
#include "platform/Error.h"

namespace qel::pack_tool {
namespace fs = std::filesystem;
namespace {

constexpr size_t kSampleBytes = 64 * 1024;
constexpr int64_t kTinyFile = 512;
constexpr int64_t kMostBytes = std::numeric_limits<int32_t>::max();

struct TItem {
  TPackEntry Entry;
  fs::path Source;
};

template <class T>
void Append(std::vector<uint8_t>& out, const T& record) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(&record);
  out.insert(out.end(), bytes, bytes + sizeof record);
}

TPackEntry MakeEntry(int32_t parent, const fs::path& source, bool is_file, uintmax_t size) {
  const std::string name = source.filename().string();
  TPackEntry entry{};
  entry.Parent = parent;
  if (name.size() >= kEntryNameSize) throw EQelError(source.string() + ": name longer than 260 bytes");
  std::memcpy(entry.Name, name.data(), name.size());
  if (!EntryNameIsSound(entry)) throw EQelError(source.string() + ": name cannot be packed");
  entry.IsFile = is_file ? 1 : 0;
  if (size > static_cast<uintmax_t>(kMostBytes)) throw EQelError(source.string() + ": file too large");
  entry.Size = static_cast<int32_t>(size);
  return entry;
}

// Tree order: a folder's files, then each subfolder followed by its contents.
void Scan(const fs::path& folder, int32_t parent, std::vector<TItem>& items) {
  std::vector<fs::path> children;
  for (const auto& child : fs::directory_iterator(folder)) children.push_back(child.path());
  std::sort(children.begin(), children.end());
  std::vector<fs::path> folders;
  for (const fs::path& child : children) {
    const fs::file_status status = fs::symlink_status(child);
    if (fs::is_regular_file(status))
      items.push_back({MakeEntry(parent, child, true, fs::file_size(child)), child});
    else if (fs::is_directory(status))
      folders.push_back(child);
    else
      throw EQelError(child.string() + ": only folders and regular files can be packed");
  }
  for (const fs::path& child : folders) {
    items.push_back({MakeEntry(parent, child, false, 0), child});
    Scan(child, static_cast<int32_t>(items.size() - 1), items);
  }
}

std::vector<uint8_t> ReadFile(const TItem& item) {
  std::ifstream file(item.Source, std::ios::binary);
  std::vector<uint8_t> content(static_cast<size_t>(item.Entry.Size));
  file.read(reinterpret_cast<char*>(content.data()), static_cast<std::streamsize>(content.size()));
  if (!file || file.peek() != std::char_traits<char>::eof())
    throw EQelError(item.Source.string() + ": cannot read, or it changed while packing");
  return content;
}

bool LooksCompressible(std::span<const uint8_t> content) {
  const auto sample = content.first(std::min(content.size(), kSampleBytes));
  return Deflate(sample, 1).size() * 10 < sample.size() * 9;
}

// Groups entries into blocks: incompressible data stored, files of half a
// block or more alone, and runs of small files of one kind together.
class TBlockWriter {
 public:
  TBlockWriter(std::vector<uint8_t>& out, int32_t max_block) : Out_(out), MaxBlock_(max_block) {}

  void AddDirectory() { ++GroupEntries_; }

  void AddFile(const std::vector<uint8_t>& content) {
    const auto size = static_cast<int64_t>(content.size());
    if (size > 0 && size >= MaxBlock_ / 2) {
      Flush();
      Emit(1, content, LooksCompressible(content));
      return;
    }
    // Tiny files say little about their kind and go with either.
    std::optional<bool> compressible;
    if (size >= kTinyFile) compressible = LooksCompressible(content);
    if ((compressible && GroupCompressible_ && *compressible != *GroupCompressible_) ||
        static_cast<int64_t>(Group_.size()) + size > MaxBlock_)
      Flush();
    Group_.insert(Group_.end(), content.begin(), content.end());
    ++GroupEntries_;
    if (compressible) GroupCompressible_ = compressible;
  }

  void Flush() {
    if (GroupEntries_ == 0) return;
    Emit(GroupEntries_, Group_, GroupCompressible_.value_or(false));
    Group_.clear();
    GroupEntries_ = 0;
    GroupCompressible_.reset();
  }

  int64_t Unpacked() const { return Unpacked_; }
  int32_t LargestBuffered() const { return LargestBuffered_; }

 private:
  void Emit(int32_t count, std::span<const uint8_t> content, bool compress) {
    const auto size = static_cast<int32_t>(content.size());
    Unpacked_ += size;
    if (compress && size > 0) {
      // Only a smaller result is kept: a block whose two sizes are equal is stored.
      const std::vector<uint8_t> packed = Deflate(content, Z_DEFAULT_COMPRESSION);
      if (packed.size() < content.size()) {
        Append(Out_, TBlockHeader{static_cast<int32_t>(packed.size()), size, count});
        Out_.insert(Out_.end(), packed.begin(), packed.end());
        // Single files that fit the block buffer use it to inflate faster.
        if (count != 1 || size <= MaxBlock_) LargestBuffered_ = std::max(LargestBuffered_, size);
        return;
      }
    }
    Append(Out_, TBlockHeader{size, size, count});
    Out_.insert(Out_.end(), content.begin(), content.end());
  }

  std::vector<uint8_t>& Out_;
  int32_t MaxBlock_;
  std::vector<uint8_t> Group_;
  int32_t GroupEntries_ = 0;
  std::optional<bool> GroupCompressible_;
  int64_t Unpacked_ = 0;
  int32_t LargestBuffered_ = 0;
};

}  // namespace

std::vector<uint8_t> Deflate(std::span<const uint8_t> data, int level) {
  uLongf length = compressBound(static_cast<uLong>(data.size()));
  std::vector<uint8_t> packed(length);
  if (compress2(packed.data(), &length, data.data(), static_cast<uLong>(data.size()), level) != Z_OK)
    throw EQelError("cannot compress");
  packed.resize(length);
  return packed;
}

TPackHeader MakePackHeader(std::string_view game_guid, int32_t body_length) {
  if (game_guid.empty() || game_guid.size() >= kGameGuidSize)
    throw EQelError("the game identifier must have 1 to 63 bytes");
  TPackHeader header{};
  header.HeaderSize = kPackHeaderSize;
  header.FormatVersion = kPackFormatVersion;
  std::memcpy(header.GameGuid, game_guid.data(), game_guid.size());
  header.BodyLength = body_length;
  header.SignedLength = kPackHeaderSize + body_length;
  return header;
}

std::vector<uint8_t> BuildSignedRegion(const fs::path& folder, const TBuildOptions& options) {
  if (options.MaxBlockSize <= 0) throw EQelError("the block size must be above 0");
  if (!fs::is_directory(folder)) throw EQelError(folder.string() + ": not a folder");
  // A bad identifier is refused before the tree is read.
  MakePackHeader(options.GameGuid, 0);
  std::vector<TItem> items;
  Scan(folder, -1, items);
  const auto count = static_cast<int64_t>(items.size());
  if (count * int64_t{sizeof(TPackEntry)} + 8 > kMostBytes) throw EQelError("too many entries");

  std::vector<uint8_t> table;
  for (const TItem& item : items) Append(table, item.Entry);
  const std::vector<uint8_t> packed_table = Deflate(table, Z_BEST_COMPRESSION);

  // The region is built in place: headers first as room, filled in at the end.
  std::vector<uint8_t> region(sizeof(TPackHeader) + sizeof(TBodyHeader));
  region.insert(region.end(), packed_table.begin(), packed_table.end());
  TBlockWriter blocks(region, options.MaxBlockSize);
  for (const TItem& item : items) {
    if (item.Entry.IsFile)
      blocks.AddFile(ReadFile(item));
    else
      blocks.AddDirectory();
  }
  blocks.Flush();

  const int64_t total = 8 + count * int64_t{sizeof(TPackEntry)} + blocks.Unpacked();
  if (total > kMostBytes || static_cast<int64_t>(region.size()) > kMostBytes)
    throw EQelError("the tree is too large for one pack (2 GiB)");
  TBodyHeader body{};
  body.DirectoryPackedSize = static_cast<int32_t>(packed_table.size());
  body.EntryCount = static_cast<int32_t>(count);
  body.TotalSize = static_cast<int32_t>(total);
  body.MaxBlockSize = blocks.LargestBuffered();
  const TPackHeader header = MakePackHeader(
      options.GameGuid, static_cast<int32_t>(region.size() - sizeof(TPackHeader)));
  std::memcpy(region.data(), &header, sizeof header);
  std::memcpy(region.data() + sizeof header, &body, sizeof body);
  return region;
}

std::vector<uint8_t> FramePack(std::span<const uint8_t> signed_region,
                               std::span<const uint8_t> signature) {
  std::vector<uint8_t> pack;
  pack.reserve(kPackFrameSize + signed_region.size() + signature.size());
  Append(pack, TPackFrame{static_cast<uint32_t>(signed_region.size()),
                          static_cast<uint32_t>(signature.size())});
  pack.insert(pack.end(), signed_region.begin(), signed_region.end());
  pack.insert(pack.end(), signature.begin(), signature.end());
  return pack;
}

}  // namespace qel::pack_tool
