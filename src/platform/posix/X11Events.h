// Events of the process's X connection, read on the plug-in thread's GLib
// loop and handed to the windows that asked for them. Only exposures are
// wanted: the windows this process paints say which of their parts need
// drawing again.
#pragma once

#include <X11/Xlib.h>

#include <functional>

#include "platform/Bitmap.h"

namespace qel {

using TExposureHandler = std::function<void(const TRect& area)>;

// Selects exposure events on `window` and calls `handler` with each exposed
// rectangle; an empty handler stops it. The events are read by a loop source
// made on first use.
void WatchExposures(Display* display, Window window, TExposureHandler handler);

}  // namespace qel
