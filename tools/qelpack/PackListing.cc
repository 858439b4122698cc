#include "qelpack/PackListing.h"

#include <zlib.h>

#include <cstring>
#include <vector>

#include "pack/DirectoryPacker.h"
#include "pack/EntryRules.h"
#include "pack/PackFrame.h"

namespace qel::pack_tool {
namespace {

const char* BlockKind(const TBlockHeader& block) {
  if (block.PackedSize == block.UnpackedSize) return "stored";
  return block.EntryCountInBlock == 1 ? "single-file" : "multi-entry";
}

// The entry table without the unpacker's folder making.
class TTableReader : public TDirectoryPacker {
 public:
  TTableReader() : TDirectoryPacker("") {}

  bool Read(std::span<const uint8_t> packed, int32_t count) {
    if (count < 0) return false;
    Entries_.resize(static_cast<size_t>(count));
    EntryCount_ = count;
    if (count == 0) return true;
    uLongf length = static_cast<uLongf>(Entries_.size() * sizeof(TPackEntry));
    const uLongf wanted = length;
    if (uncompress(reinterpret_cast<Bytef*>(Entries_.data()), &length, packed.data(),
                   static_cast<uLong>(packed.size())) != Z_OK || length != wanted)
      return false;
    return EntryTableIsSound(Entries_);
  }
};

}  // namespace

bool ListPack(std::span<const uint8_t> pack, std::ostream& out) {
  const auto parts = ReadPackParts(pack);
  if (!parts) return false;
  out << "game " << PackGameGuid(parts->Header) << "\n";
  const std::span<const uint8_t> body = parts->Body;
  TBodyHeader header;
  if (body.size() < sizeof header) return false;
  std::memcpy(&header, body.data(), sizeof header);
  out << header.EntryCount << " entries, total size " << header.TotalSize << ", max block "
      << header.MaxBlockSize << "\n";
  if (header.DirectoryPackedSize < 0 ||
      static_cast<size_t>(header.DirectoryPackedSize) > body.size() - sizeof header)
    return false;
  TTableReader table;
  if (!table.Read(body.subspan(sizeof header, static_cast<size_t>(header.DirectoryPackedSize)),
                  header.EntryCount))
    return false;

  size_t offset = sizeof header + static_cast<size_t>(header.DirectoryPackedSize);
  int32_t entry = 0;
  for (int index = 0; offset < body.size(); ++index) {
    TBlockHeader block;
    if (body.size() - offset < sizeof block) return false;
    std::memcpy(&block, body.data() + offset, sizeof block);
    if (block.PackedSize < 0 || block.UnpackedSize < 0 || block.EntryCountInBlock < 0 ||
        static_cast<size_t>(block.PackedSize) > body.size() - offset - sizeof block)
      return false;
    out << "block " << index << " " << BlockKind(block) << " entries "
        << block.EntryCountInBlock << " unpacked " << block.UnpackedSize << " packed "
        << block.PackedSize << "\n";
    for (int32_t i = 0; i < block.EntryCountInBlock && entry < table.EntryCount(); ++i, ++entry) {
      const TPackEntry& item = table.Entry(entry);
      const std::string path = table.BuildPath(entry);
      if (item.IsFile)
        out << "  file " << path << " " << item.Size << "\n";
      else
        out << "  folder " << path << "\n";
    }
    offset += sizeof block + static_cast<size_t>(block.PackedSize);
  }
  return entry == table.EntryCount();
}

}  // namespace qel::pack_tool
