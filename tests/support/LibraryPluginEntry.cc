#include "PluginEntry.h"
#include "host/npqelgame.h"

namespace qel::test {

PluginEntry LibraryPluginEntry() { return {&NP_Initialize, &NP_Shutdown}; }

}  // namespace qel::test
