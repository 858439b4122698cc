// The content of "dataver.dat" in a game's data folder: the installed data
// versions and what the two cache files hold. Integers are little-endian.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

namespace qel {

#pragma pack(push, 1)
struct TDataVersionRecord {
  int32_t InitVersion;         // installed init version; 0 = none
  int32_t UpdateVersion;       // installed update version; 0 = none
  int32_t InitCacheVersion;    // the init version "_init_cache.tmp" starts; 0 = no usable cache
  int32_t InitCacheSize;       // bytes in "_init_cache.tmp"
  int32_t UpdateCacheVersion;  // as InitCacheVersion, for "_update_cache.tmp"
  int32_t UpdateCacheSize;     // bytes in "_update_cache.tmp"
  uint8_t Reserved[36];        // not read here; written back as read
};
#pragma pack(pop)

static_assert(std::endian::native == std::endian::little, "the record is read and written as it lies in memory");
static_assert(sizeof(TDataVersionRecord) == 60);
static_assert(offsetof(TDataVersionRecord, InitVersion) == 0);
static_assert(offsetof(TDataVersionRecord, UpdateVersion) == 4);
static_assert(offsetof(TDataVersionRecord, InitCacheVersion) == 8);
static_assert(offsetof(TDataVersionRecord, InitCacheSize) == 12);
static_assert(offsetof(TDataVersionRecord, UpdateCacheVersion) == 16);
static_assert(offsetof(TDataVersionRecord, UpdateCacheSize) == 20);
static_assert(offsetof(TDataVersionRecord, Reserved) == 24);

}  // namespace qel
