// The two module entry points a Linux browser calls on the plug-in library:
// NP_Initialize when it loads the module, NP_Shutdown before it unloads it.
#pragma once

#include "host/NPApi.h"

namespace qel::test {

struct PluginEntry {
  NPError (*initialize)(NPNetscapeFuncs* browser, NPPluginFuncs* plugin);
  NPError (*shutdown)();
};

// The library's own exports. Defined in a file of its own so that a test
// binary which drives another plug-in does not need the library to link.
PluginEntry LibraryPluginEntry();

}  // namespace qel::test
