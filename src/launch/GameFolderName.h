// A game's own folder is named after its identifier, beside the plug-in or
// under an install root; it must stay there, so the identifier has to be one
// folder name, not a path.
#pragma once

#include <string_view>

namespace qel {

inline bool IsPlainFolderName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of(std::string_view("/\\\0", 3)) == std::string_view::npos;
}

}  // namespace qel
