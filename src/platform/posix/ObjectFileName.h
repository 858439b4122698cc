// The file names of named objects in the runtime folder.
#pragma once

#include <string>
#include <string_view>

namespace qel {

// The file name that stands for an object name: bytes outside
// [A-Za-z0-9._-] are written as %XX, a name too long for a file name is cut
// and followed by "~" and its SHA-256, and the suffix tells the object's kind.
std::string ObjectFileName(std::string_view name, std::string_view suffix);

}  // namespace qel
