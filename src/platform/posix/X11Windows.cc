// Native windows on X11, over the process's one connection.
#include "platform/NativeWindows.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <map>
#include <optional>
#include <thread>
#include <utility>

#include "platform/AnsiText.h"
#include "platform/posix/X11Canvas.h"
#include "platform/posix/X11Connection.h"
#include "platform/posix/X11ErrorTrap.h"
#include "platform/posix/X11Events.h"
#include "platform/posix/X11Properties.h"
#include "platform/posix/X11TopLevelScan.h"

namespace qel {
namespace {

// How often CloseWindow looks whether the window has gone.
constexpr auto kClosePollInterval = std::chrono::milliseconds(5);

// Resource ids have their top three bits clear. A larger handle would be cut
// to 32 bits on the wire and could name some other window.
constexpr TWindowHandle kLargestXid = 0x1FFFFFFF;

std::optional<Window> AsXid(TWindowHandle window) {
  if (window == 0 || window > kLargestXid) return std::nullopt;
  return static_cast<Window>(window);
}

// X has no empty windows; a zero or negative extent becomes one pixel.
unsigned int Extent(int32_t length) { return length < 1 ? 1u : static_cast<unsigned int>(length); }

class TX11WindowSystem final : public TWindowSystem {
 public:
  bool IsWindow(TWindowHandle window) override {
    Display* display = Server();
    const std::optional<Window> xid = AsXid(window);
    if (display == nullptr || !xid) return false;
    TX11ErrorTrap trap(display);
    XWindowAttributes attributes;
    return XGetWindowAttributes(display, *xid, &attributes) != 0 && !trap.Failed();
  }

  TWindowSize ClientSize(TWindowHandle window) override {
    Display* display = Server();
    const std::optional<Window> xid = AsXid(window);
    if (display == nullptr || !xid) return {};
    TX11ErrorTrap trap(display);
    XWindowAttributes attributes;
    if (XGetWindowAttributes(display, *xid, &attributes) == 0 || trap.Failed()) return {};
    return {attributes.width, attributes.height};
  }

  void EnumTopLevelWindows(const std::function<bool(TWindowHandle)>& visit) override {
    TX11TopLevelScan scan = ScanTopLevelWindows(ProcessX11Connection());
    // The visitor's questions about the windows it is handed are answered
    // from the scan; a nested enumeration has its own scan while it runs.
    const TX11TopLevelScan* outer = Scan_;
    Scan_ = &scan;
    struct TRestore {
      TX11WindowSystem* Self;
      const TX11TopLevelScan* Outer;
      ~TRestore() { Self->Scan_ = Outer; }
    } restore{this, outer};
    for (const Window window : scan.Windows)
      if (!visit(static_cast<TWindowHandle>(window))) return;
  }

  std::string WindowTitle(TWindowHandle window) override {
    if (const TX11WindowFacts* facts = ScannedFacts(window)) return facts->Title;
    Display* display = Server();
    const std::optional<Window> xid = AsXid(window);
    if (display == nullptr || !xid) return {};
    TX11ErrorTrap trap(display);
    const TX11Atoms& atoms = Atoms();
    if (std::optional<std::string> utf8 = ReadTextProperty(display, *xid, atoms.NetWmName, atoms.Utf8String))
      return Utf8ToAnsi(*utf8);
    // The old property: its bytes are taken for 8-bit text as they are.
    return ReadTextProperty(display, *xid, XA_WM_NAME, AnyPropertyType).value_or(std::string());
  }

  std::string WindowClassName(TWindowHandle window) override {
    if (const TX11WindowFacts* facts = ScannedFacts(window)) return facts->ClassName;
    Display* display = Server();
    const std::optional<Window> xid = AsXid(window);
    if (display == nullptr || !xid) return {};
    TX11ErrorTrap trap(display);
    return ReadClassName(display, *xid).value_or(std::string());
  }

  uint32_t WindowProcessId(TWindowHandle window) override {
    if (const TX11WindowFacts* facts = ScannedFacts(window)) return facts->ProcessId;
    Display* display = Server();
    const std::optional<Window> xid = AsXid(window);
    if (display == nullptr || !xid) return 0;
    TX11ErrorTrap trap(display);
    return ReadCardinalProperty(display, *xid, Atoms().NetWmPid).value_or(0);
  }

  void ShowWindow(TWindowHandle window, bool visible) override {
    Display* display = Server();
    const std::optional<Window> xid = AsXid(window);
    if (display == nullptr || !xid) return;
    TX11ErrorTrap trap(display);
    if (visible)
      XMapWindow(display, *xid);
    else
      XUnmapWindow(display, *xid);
  }

  bool MoveWindow(TWindowHandle window, int32_t x, int32_t y, int32_t width, int32_t height) override {
    Display* display = Server();
    const std::optional<Window> xid = AsXid(window);
    if (display == nullptr || !xid) return false;
    TX11ErrorTrap trap(display);
    XMoveResizeWindow(display, *xid, x, y, Extent(width), Extent(height));
    return !trap.Failed();
  }

  bool SetParent(TWindowHandle window, TWindowHandle parent) override {
    Display* display = Server();
    const std::optional<Window> xid = AsXid(window);
    if (display == nullptr || !xid) return false;
    Window new_parent = DefaultRootWindow(display);
    if (parent != 0) {
      const std::optional<Window> parent_xid = AsXid(parent);
      if (!parent_xid) return false;
      new_parent = *parent_xid;
    }
    TX11ErrorTrap trap(display);
    XReparentWindow(display, *xid, new_parent, 0, 0);
    return !trap.Failed();
  }

  TWindowHandle GetParent(TWindowHandle window) override {
    Display* display = Server();
    const std::optional<Window> xid = AsXid(window);
    if (display == nullptr || !xid) return 0;
    TX11ErrorTrap trap(display);
    const std::optional<TX11Tree> tree = QueryTree(display, *xid);
    if (!tree || trap.Failed() || tree->Parent == None || tree->Parent == DefaultRootWindow(display)) return 0;
    return static_cast<TWindowHandle>(tree->Parent);
  }

  bool CloseWindow(TWindowHandle window, int timeout_ms) override {
    Display* display = Server();
    const std::optional<Window> xid = AsXid(window);
    if (display == nullptr) return false;
    if (!xid || !IsWindow(window)) return true;
    {
      TX11ErrorTrap trap(display);
      XEvent event{};
      event.xclient.type = ClientMessage;
      event.xclient.window = *xid;
      event.xclient.message_type = Atoms().WmProtocols;
      event.xclient.format = 32;
      event.xclient.data.l[0] = static_cast<long>(Atoms().WmDeleteWindow);
      event.xclient.data.l[1] = CurrentTime;
      // No event mask: the event goes to the client that made the window.
      XSendEvent(display, *xid, False, NoEventMask, &event);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(timeout_ms, 0));
    while (IsWindow(window)) {
      if (std::chrono::steady_clock::now() >= deadline) return false;
      std::this_thread::sleep_for(kClosePollInterval);
    }
    return true;
  }

  TWindowHandle CreatePlainWindow(TWindowHandle parent, int32_t x, int32_t y, int32_t width,
                             int32_t height) override {
    Display* display = Server();
    if (display == nullptr) return 0;
    Window parent_xid = DefaultRootWindow(display);
    if (parent != 0) {
      const std::optional<Window> xid = AsXid(parent);
      if (!xid) return 0;
      parent_xid = *xid;
    }
    TX11ErrorTrap trap(display);
    const int screen = DefaultScreen(display);
    const Window window = XCreateSimpleWindow(display, parent_xid, x, y, Extent(width), Extent(height), 0,
                                              BlackPixel(display, screen), BlackPixel(display, screen));
    XMapWindow(display, window);
    if (trap.Failed()) return 0;
    return static_cast<TWindowHandle>(window);
  }

  void DestroyWindow(TWindowHandle window) override {
    Display* display = Server();
    const std::optional<Window> xid = AsXid(window);
    if (display == nullptr || !xid) return;
    TX11ErrorTrap trap(display);
    if (Painters_.erase(*xid) != 0) WatchExposures(display, *xid, {});
    XDestroyWindow(display, *xid);
  }

  void SetPaintHandler(TWindowHandle window, TPaintHandler paint) override {
    Display* display = Server();
    const std::optional<Window> xid = AsXid(window);
    if (display == nullptr || !xid) return;
    TX11ErrorTrap trap(display);
    if (!paint) {
      WatchExposures(display, *xid, {});
      Painters_.erase(*xid);
      return;
    }
    // No background: the server leaves exposed parts as they are until the
    // handler paints them, instead of clearing them first.
    XSetWindowBackgroundPixmap(display, *xid, None);
    Painters_[*xid] = std::move(paint);
    WatchExposures(display, *xid, [this, window](const TRect& area) { Repaint(window, area); });
  }

  void Repaint(TWindowHandle window, const TRect& area) override {
    Display* display = Server();
    const std::optional<Window> xid = AsXid(window);
    if (display == nullptr || !xid) return;
    const auto found = Painters_.find(*xid);
    if (found == Painters_.end()) return;
    // A copy: painting may end the window's painting.
    const TPaintHandler paint = found->second;
    TX11ErrorTrap trap(display);
    XWindowAttributes attributes;
    if (XGetWindowAttributes(display, *xid, &attributes) == 0 || trap.Failed()) return;
    const TRect visible = Intersection(area, {0, 0, attributes.width, attributes.height});
    if (visible.Empty()) return;
    TX11Canvas canvas(display, *xid, attributes);
    paint(canvas, visible);
    XFlush(display);
  }

  TWindowSize TextExtent(std::string_view text, int32_t font_height) override {
    Display* display = Server();
    if (display == nullptr) return {};
    return LabelTextSize(display, text, font_height);
  }

  int32_t ScreenPixelsPerInch() override {
    Display* display = Server();
    if (display == nullptr) return kDefaultPixelsPerInch;
    const int screen = DefaultScreen(display);
    const int millimetres = DisplayWidthMM(display, screen);
    if (millimetres <= 0) return kDefaultPixelsPerInch;
    return static_cast<int32_t>(std::lround(DisplayWidth(display, screen) * 25.4 / millimetres));
  }

 private:
  static constexpr int32_t kDefaultPixelsPerInch = 96;

  static Display* Server() { return ProcessX11Connection().Server; }
  static const TX11Atoms& Atoms() { return ProcessX11Connection().Atoms; }

  const TX11WindowFacts* ScannedFacts(TWindowHandle window) const {
    if (Scan_ == nullptr) return nullptr;
    const auto found = Scan_->Facts.find(static_cast<Window>(window));
    return found == Scan_->Facts.end() ? nullptr : &found->second;
  }

  const TX11TopLevelScan* Scan_ = nullptr;  // while an enumeration runs
  std::map<Window, TPaintHandler> Painters_;
};

}  // namespace

TWindowSystem& DefaultWindowSystem() {
  static TX11WindowSystem windows;
  return windows;
}

}  // namespace qel
