// Makes the signed region of a pack (header and body) from a folder tree,
// and frames a signed region with its signature.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "pack/PackFormat.h"

namespace qel::pack_tool {

struct TBuildOptions {
  std::string GameGuid;
  // The most a block of several entries unpacks to; files of half this size
  // or more get blocks of their own.
  int32_t MaxBlockSize = 4 * 1024 * 1024;
};

// Raises EQelError for a tree that cannot be packed: links, special files,
// names that are not one sound component of at most 260 bytes, or more
// than the format's 2 GiB.
std::vector<uint8_t> BuildSignedRegion(const std::filesystem::path& folder,
                                       const TBuildOptions& options);

// A header for a body of `body_length` bytes; raises EQelError for an empty
// identifier or one longer than 63 bytes.
TPackHeader MakePackHeader(std::string_view game_guid, int32_t body_length);

std::vector<uint8_t> FramePack(std::span<const uint8_t> signed_region,
                               std::span<const uint8_t> signature);

// zlib format; raises EQelError.
std::vector<uint8_t> Deflate(std::span<const uint8_t> data, int level);

}  // namespace qel::pack_tool
