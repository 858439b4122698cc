// Says in words why a pack was refused, naming the entry, block, path or
// sizes concerned, for publishers who must find what is wrong with a pack.
#pragma once

#include <string>
#include <string_view>

#include "pack/PackFailure.h"

namespace qel::pack_tool {

// `wanted_game` is the game the pack was checked against (for pfWrongGame).
std::string DescribePackFailure(const TPackFailure& failure, std::string_view wanted_game = {});

}  // namespace qel::pack_tool
