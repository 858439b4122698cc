// Links for the tests to plant: junctions and symbolic links, where the
// system (or Wine) can make them.
#pragma once

#include <string>

namespace qel::test {

// Makes `link` a junction to the folder `target` (an absolute path). False
// when the file system cannot hold one; nothing is left at `link` then.
bool MakeJunction(const std::string& link, const std::string& target);

// Makes `link` a symbolic link to `target`, a folder or a file. False when
// none could be made (no privilege, or no support).
bool MakeSymbolicLink(const std::string& link, const std::string& target, bool to_folder);

}  // namespace qel::test
