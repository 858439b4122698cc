#include "launch/GameWindow.h"

namespace qel {
namespace {

// The window text a 255-character buffer holds, less its NUL.
constexpr size_t kWindowTextLength = 254;

bool SameWindowText(const std::string& read, const std::string& wanted) {
  return read.substr(0, kWindowTextLength) == wanted;
}

}  // namespace

void FindGameWindow(TWindowSystem& windows, TEnumData& data) {
  data.Found = false;
  windows.EnumTopLevelWindows([&](TWindowHandle window) {
    if (!SameWindowText(windows.WindowTitle(window), data.Title)) return true;
    if (!SameWindowText(windows.WindowClassName(window), data.ClassName)) return true;
    if (windows.WindowProcessId(window) != data.ProcessId) return true;
    data.Window = window;
    data.Found = true;
    return false;
  });
}

bool EmbedWindow(TWindowSystem& windows, TWindowHandle window, TWindowHandle host) {
  windows.ShowWindow(window, false);
  // X11 windows carry no frame or caption of their own to strip: once a
  // child of the host, the window manager no longer frames them.
  const TWindowSize size = windows.ClientSize(host);
  windows.MoveWindow(window, 0, 0, size.Width, size.Height);
  windows.SetParent(window, host);
  const bool embedded = windows.GetParent(window) == host;
  windows.ShowWindow(window, true);
  return embedded;
}

}  // namespace qel
