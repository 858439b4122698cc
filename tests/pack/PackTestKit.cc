#include "PackTestKit.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>

#include "platform/FileSystem.h"
#include "platform/Resource.h"
#include "qelpack/PackBuilder.h"

namespace qel::test {

const pack_tool::TPackSigner& TTestKey::Signer() {
  static const auto signer = pack_tool::TPackSigner::Generate();
  return *signer;
}

TTestKey::TTestKey() { SetLibraryResourceForTesting("RAW", "PUBLIC_KEY", Signer().PublicBlob()); }
TTestKey::~TTestKey() { SetLibraryResourceForTesting("RAW", "PUBLIC_KEY", std::nullopt); }

TPackEntry MakeEntry(const std::string& name, bool is_file, int32_t size, int32_t parent) {
  TPackEntry entry{};
  entry.Parent = parent;
  std::memcpy(entry.Name, name.data(), std::min(name.size(), kEntryNameSize));
  entry.IsFile = is_file ? 1 : 0;
  entry.Size = size;
  return entry;
}

int32_t TBodyBuilder::Folder(const std::string& name, int32_t parent) {
  Entries_.push_back(MakeEntry(name, false, 0, parent));
  return static_cast<int32_t>(Entries_.size() - 1);
}

int32_t TBodyBuilder::File(const std::string& name, const std::string& content, int32_t parent) {
  Entries_.push_back(MakeEntry(name, true, static_cast<int32_t>(content.size()), parent));
  return static_cast<int32_t>(Entries_.size() - 1);
}

void TBodyBuilder::Block(int32_t packed, int32_t unpacked, int32_t count,
                         std::span<const uint8_t> data) {
  const TBlockHeader header{packed, unpacked, count};
  Raw({reinterpret_cast<const uint8_t*>(&header), sizeof header});
  Raw(data);
  Unpacked_ += unpacked;
}

void TBodyBuilder::Stored(int32_t count, const std::string& content,
                          std::optional<int32_t> unpacked) {
  const auto size = unpacked.value_or(static_cast<int32_t>(content.size()));
  std::string data = content;
  data.resize(static_cast<size_t>(size));
  Block(size, size, count, {reinterpret_cast<const uint8_t*>(data.data()), data.size()});
}

void TBodyBuilder::Compressed(int32_t count, const std::string& content,
                              std::optional<int32_t> unpacked) {
  const auto packed = pack_tool::Deflate(
      {reinterpret_cast<const uint8_t*>(content.data()), content.size()}, 6);
  Block(static_cast<int32_t>(packed.size()),
        unpacked.value_or(static_cast<int32_t>(content.size())), count, packed);
}

void TBodyBuilder::Raw(std::span<const uint8_t> bytes) {
  Blocks_.insert(Blocks_.end(), bytes.begin(), bytes.end());
}

std::vector<uint8_t> TBodyBuilder::Body() const {
  const auto* table = reinterpret_cast<const uint8_t*>(Entries_.data());
  const auto packed_table = pack_tool::Deflate({table, Entries_.size() * sizeof(TPackEntry)}, 9);
  TBodyHeader header{};
  header.DirectoryPackedSize = static_cast<int32_t>(packed_table.size());
  header.EntryCount = EntryCount.value_or(static_cast<int32_t>(Entries_.size()));
  header.TotalSize = TotalSize.value_or(
      static_cast<int32_t>(8 + Entries_.size() * sizeof(TPackEntry) + Unpacked_));
  header.MaxBlockSize = MaxBlockSize;
  std::vector<uint8_t> body(reinterpret_cast<const uint8_t*>(&header),
                            reinterpret_cast<const uint8_t*>(&header) + sizeof header);
  body.insert(body.end(), packed_table.begin(), packed_table.end());
  body.insert(body.end(), Blocks_.begin(), Blocks_.end());
  return body;
}

std::vector<uint8_t> SignedPack(std::span<const uint8_t> body, const std::string& guid,
                                const pack_tool::TPackSigner& signer) {
  const TPackHeader header = pack_tool::MakePackHeader(guid, static_cast<int32_t>(body.size()));
  std::vector<uint8_t> region(reinterpret_cast<const uint8_t*>(&header),
                              reinterpret_cast<const uint8_t*>(&header) + sizeof header);
  region.insert(region.end(), body.begin(), body.end());
  return pack_tool::FramePack(region, signer.Sign(region));
}

TPackHeader& HeaderOf(std::vector<uint8_t>& pack) {
  return *reinterpret_cast<TPackHeader*>(pack.data() + kPackFrameSize);
}

void Resign(std::vector<uint8_t>& pack, const pack_tool::TPackSigner& signer) {
  TPackFrame frame;
  std::memcpy(&frame, pack.data(), sizeof frame);
  const std::vector<uint8_t> region(pack.begin() + kPackFrameSize,
                                    pack.begin() + kPackFrameSize + frame.SignedLength);
  pack = pack_tool::FramePack(region, signer.Sign(region));
}

std::map<std::string, std::string> ReadTree(const fs::path& root) {
  std::map<std::string, std::string> tree;
  for (const auto& item : fs::recursive_directory_iterator(root)) {
    // Keys in the generic form ('/' between names) on every system.
    const std::string name = fs::relative(item.path(), root).generic_string();
    tree[name] = item.is_directory() ? "<folder>" : ReadText(item.path());
  }
  return tree;
}

std::string ReadText(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), {}};
}

std::string Native(std::string relative) {
  std::replace(relative.begin(), relative.end(), '/', kPathDelimiter);
  return relative;
}

bool MakeSymlink(const fs::path& target, const fs::path& link) {
  std::error_code error;
  if (fs::is_directory(target))
    fs::create_directory_symlink(target, link, error);
  else
    fs::create_symlink(target, link, error);
  if (error == std::errc::function_not_supported) return false;
  if (error) throw fs::filesystem_error("cannot make a link", target, link, error);
  return true;
}

void WriteText(const fs::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::string RandomBytes(size_t size, uint32_t seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random());
  return bytes;
}

std::string TextBytes(size_t size) {
  std::string text;
  for (int line = 0; text.size() < size; ++line) text += "line " + std::to_string(line) + " of the text\n";
  text.resize(size);
  return text;
}

std::vector<uint8_t> TwoFilesInAFolder() {
  TBodyBuilder b;
  const int32_t dir = b.Folder("data");
  b.File("one", "first", dir);
  b.Stored(2, "first");
  b.File("two", TextBytes(4000), dir);
  b.Compressed(1, TextBytes(4000));
  return b.Body();
}

}  // namespace qel::test
