#include "PluginEntry.h"
#include "host/npqelgame.h"

namespace qel::test {
namespace {

// The library's exports called the way this platform's browsers call them:
// where NP_Initialize does not take the plug-in's table, the browser asks
// NP_GetEntryPoints for it.
NPError InitializeLibrary(NPNetscapeFuncs* browser, NPPluginFuncs* plugin) {
  const NPError error = QEL_NP_INITIALIZE_CALL(NP_Initialize, browser, plugin);
  if (error != NPERR_NO_ERROR || plugin->newp != nullptr) return error;
  return NP_GetEntryPoints(plugin);
}

NPError ShutdownLibrary() { return NP_Shutdown(); }

}  // namespace

PluginEntry LibraryPluginEntry() { return {&InitializeLibrary, &ShutdownLibrary}; }

}  // namespace qel::test
