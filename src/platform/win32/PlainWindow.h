// The process's own plain windows: one window class, registered when the
// first window is made and unregistered when the library goes, whose windows
// paint through a handler and otherwise show black.
#pragma once

#include <windows.h>

#include <string>

#include "platform/NativeWindows.h"

namespace qel {

// A shown window of the class; a child of `parent` or, for null, a
// borderless top-level window. Null when it cannot be made.
HWND CreatePlainWindowOf(HWND parent, int32_t x, int32_t y, int32_t width, int32_t height);

// Sets (or, empty, ends) the paint handler of one of the process's plain
// windows; false for any other window.
bool SetPlainWindowPainter(HWND window, TPaintHandler paint);
bool HasPlainWindowPainter(HWND window);

// The class's name, for telling its windows apart.
std::string PlainWindowClassName();

}  // namespace qel
