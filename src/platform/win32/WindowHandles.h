// A portable window handle and the HWND it stands for.
#pragma once

#include <windows.h>

#include "platform/WindowHandle.h"

namespace qel {

inline HWND AsHwnd(TWindowHandle window) { return reinterpret_cast<HWND>(window); }
inline TWindowHandle HandleOf(HWND window) { return reinterpret_cast<TWindowHandle>(window); }

// True for an existing window that the calling thread made: only such a
// window can be subclassed, destroyed or sent to without a thread switch.
inline bool IsWindowOfThisThread(HWND window) {
  return IsWindow(window) && GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId();
}

}  // namespace qel
