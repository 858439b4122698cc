// A module whose entry points differ from the expected names only in letter
// case: looking them up must find nothing.
#include <cstdint>

#include "platform/Export.h"
#include "platform/Module.h"

QEL_EXPORT int32_t QEL_MODULECALL updategame(void*) { return 0; }
QEL_EXPORT int32_t QEL_MODULECALL INITGAME(void*, void*) { return 0; }
