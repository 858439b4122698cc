// A native window as the system passes it around: the X11 window id on Linux,
// the HWND's value on Windows; 0 is no window.
#pragma once

#include <cstdint>

namespace qel {

using TWindowHandle = uintptr_t;

}  // namespace qel
