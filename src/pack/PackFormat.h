// The fixed records of a data pack. All integers are little-endian, so the
// records are read by copying their bytes on the little-endian hosts the
// system runs on.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

namespace qel {

static_assert(std::endian::native == std::endian::little, "pack records are little-endian");

inline constexpr uint16_t kPackHeaderSize = 152;
inline constexpr uint16_t kPackFormatVersion = 2;
inline constexpr size_t kPackFrameSize = 8;
inline constexpr size_t kGameGuidSize = 64;
inline constexpr size_t kEntryNameSize = 261;

#pragma pack(push, 1)

// The outer frame: the signed region and the signature follow it.
struct TPackFrame {
  uint32_t SignedLength;
  uint32_t SignatureLength;
};

// The start of the signed region.
struct TPackHeader {
  uint16_t HeaderSize;
  uint16_t FormatVersion;
  char GameGuid[kGameGuidSize];
  uint8_t Reserved1[12];
  int32_t SignedLength;
  int32_t BodyLength;
  uint8_t Reserved2[64];
};

// The start of the body; the compressed entry table follows it.
struct TBodyHeader {
  int32_t DirectoryPackedSize;
  int32_t EntryCount;
  int32_t TotalSize;
  uint8_t Reserved1[4];
  int32_t MaxBlockSize;
  uint8_t Reserved2[12];
};

struct TPackEntry {
  int32_t Parent;
  char Name[kEntryNameSize];
  uint8_t IsFile;
  uint8_t Reserved[4];
  int32_t Size;
};

struct TBlockHeader {
  int32_t PackedSize;
  int32_t UnpackedSize;
  int32_t EntryCountInBlock;
};

#pragma pack(pop)

static_assert(sizeof(TPackFrame) == 8);
static_assert(offsetof(TPackFrame, SignedLength) == 0);
static_assert(offsetof(TPackFrame, SignatureLength) == 4);

static_assert(sizeof(TPackHeader) == kPackHeaderSize);
static_assert(offsetof(TPackHeader, HeaderSize) == 0);
static_assert(offsetof(TPackHeader, FormatVersion) == 2);
static_assert(offsetof(TPackHeader, GameGuid) == 4);
static_assert(offsetof(TPackHeader, Reserved1) == 68);
static_assert(offsetof(TPackHeader, SignedLength) == 80);
static_assert(offsetof(TPackHeader, BodyLength) == 84);
static_assert(offsetof(TPackHeader, Reserved2) == 88);

static_assert(sizeof(TBodyHeader) == 32);
static_assert(offsetof(TBodyHeader, DirectoryPackedSize) == 0);
static_assert(offsetof(TBodyHeader, EntryCount) == 4);
static_assert(offsetof(TBodyHeader, TotalSize) == 8);
static_assert(offsetof(TBodyHeader, Reserved1) == 12);
static_assert(offsetof(TBodyHeader, MaxBlockSize) == 16);
static_assert(offsetof(TBodyHeader, Reserved2) == 20);

static_assert(sizeof(TPackEntry) == 274);
static_assert(offsetof(TPackEntry, Parent) == 0);
static_assert(offsetof(TPackEntry, Name) == 4);
static_assert(offsetof(TPackEntry, IsFile) == 265);
static_assert(offsetof(TPackEntry, Reserved) == 266);
static_assert(offsetof(TPackEntry, Size) == 270);

static_assert(sizeof(TBlockHeader) == 12);
static_assert(offsetof(TBlockHeader, PackedSize) == 0);
static_assert(offsetof(TBlockHeader, UnpackedSize) == 4);
static_assert(offsetof(TBlockHeader, EntryCountInBlock) == 8);

}  // namespace qel
