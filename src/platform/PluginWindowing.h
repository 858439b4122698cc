// Whether the browser gives a windowed plug-in a native window of its own.
// On X11 only browsers that embed plug-ins through XEmbed in a GTK socket do
// (the Gecko and Chromium families); QtWebKit 5 also says it supports XEmbed
// but hands a windowed plug-in no window at all, so there the plug-in has to
// be windowless and bring its own. Win32 browsers always hand one over.
#pragma once

#include <cstdint>

namespace qel {

// `supports_xembed` and `toolkit` are the browser's answers to
// NPNVSupportsXEmbedBool and NPNVToolkit (0 when it gave none).
bool BrowserGivesPluginWindows(bool supports_xembed, uint32_t toolkit);

}  // namespace qel
