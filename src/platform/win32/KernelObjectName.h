// The names of the kernel's mutexes and semaphores.
#pragma once

#include <string>
#include <string_view>

namespace qel {

// The kernel object name for `name`: the name itself, so that every program
// that uses the name shares the object, or, while a test scope is set
// (SetNamedObjectFolderForTesting), the name after a mark of that scope.
// Raises EQelError for a name the kernel cannot hold: an empty one (which
// would make an object of no name, shared with nobody) or one with a NUL byte.
std::string KernelObjectName(std::string_view name);

}  // namespace qel
