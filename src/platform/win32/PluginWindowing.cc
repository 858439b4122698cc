#include "platform/PluginWindowing.h"

namespace qel {

// Win32 browsers hand every windowed plug-in a window of its own.
bool BrowserGivesPluginWindows(bool, uint32_t) { return true; }

}  // namespace qel
