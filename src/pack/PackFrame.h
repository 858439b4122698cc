// The frame and header of a pack: where its parts lie, and whether they are
// consistent with each other and with the pack's size.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "pack/PackFailure.h"
#include "pack/PackFormat.h"

namespace qel {

struct TPackParts {
  TPackHeader Header;
  std::span<const uint8_t> Signed;
  std::span<const uint8_t> Signature;
  std::span<const uint8_t> Body;
};

// None unless the size is 8 + L + S, HeaderSize is 152, FormatVersion is 2,
// the header's SignedLength equals L, and 152 + BodyLength equals it; then
// `failure`, when given, says which of these did not hold.
std::optional<TPackParts> ReadPackParts(std::span<const uint8_t> pack,
                                        TPackFailure* failure = nullptr);

// The header's GameGuid: up to the first zero byte, or all 64 bytes.
std::string PackGameGuid(const TPackHeader& header);

// Game identifiers match without regard to letter case.
bool IsSameGame(std::string_view a, std::string_view b);

}  // namespace qel
