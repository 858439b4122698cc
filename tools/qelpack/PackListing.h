// What a pack holds, for people: its game, entries and blocks. Reads the
// structure only; the signature is not checked.
#pragma once

#include <cstdint>
#include <ostream>
#include <span>

namespace qel::pack_tool {

// False (after writing what it could) when the pack's structure is damaged.
bool ListPack(std::span<const uint8_t> pack, std::ostream& out);

}  // namespace qel::pack_tool
