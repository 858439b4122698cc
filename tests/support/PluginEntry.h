// The two steps in which a browser takes up the plug-in library:
// initializing it when it loads the module (handing over its table and taking
// the plug-in's), and shutting it down before it unloads it.
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
