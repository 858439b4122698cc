// The environment block a game is started with: this process's variables,
// and the game's parameters in their own variable, never one of ours.
#pragma once

#include <string>
#include <string_view>

namespace qel::win32 {

// `current` is a block as GetEnvironmentStringsW gives it ("NAME=value" texts,
// each ending with a zero, then one more zero). The result is such a block
// without any variable named kGameParametersVariable (names are compared
// without regard to case, as the system does), and with it set to
// `parameters`, in the block's order by name, when `parameters` is not empty.
std::u16string GameEnvironmentBlock(std::u16string_view current, std::u16string_view parameters);

}  // namespace qel::win32
