#include "platform/win32/EmbeddedStyle.h"

#include <windows.h>

namespace qel {

uint32_t EmbeddedStyle(uint32_t style) {
  // Every other bit stays as the window had it, WS_POPUP included.
  constexpr uint32_t kFrame =
      WS_MINIMIZE | WS_MAXIMIZE | WS_BORDER | WS_DLGFRAME | WS_SYSMENU | WS_THICKFRAME;
  return (style & ~kFrame) | WS_CHILD;
}

uint32_t EmbeddedExStyle(uint32_t ex_style) {
  constexpr uint32_t kFrame = WS_EX_APPWINDOW | WS_EX_WINDOWEDGE | WS_EX_DLGMODALFRAME;
  return ex_style & ~kFrame;
}

uint32_t TopLevelStyle(uint32_t style) { return (style & ~static_cast<uint32_t>(WS_CHILD)) | WS_POPUP; }

}  // namespace qel
