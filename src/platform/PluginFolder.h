// The folder of the file that holds this code (the plug-in library in a
// browser, the program in tests), ending with kPathDelimiter.
#pragma once

#include <string>

namespace qel {

// Raises EQelError when the file cannot be found.
std::string PluginDir();

}  // namespace qel
