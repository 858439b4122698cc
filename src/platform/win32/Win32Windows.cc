// Native windows on Win32.
#include "platform/NativeWindows.h"

#include <windows.h>

#include <algorithm>
#include <utility>

#include "platform/win32/EmbeddedStyle.h"
#include "platform/win32/GdiCanvas.h"
#include "platform/win32/PlainWindow.h"
#include "platform/win32/SentMessageWait.h"
#include "platform/win32/TopLevelScan.h"
#include "platform/win32/WindowHandles.h"

namespace qel {
namespace {

constexpr int32_t kDefaultPixelsPerInch = 96;

// The screen's device context for as long as a measurement takes.
class TScreenDc {
 public:
  TScreenDc() : Dc_(GetDC(nullptr)) {}
  ~TScreenDc() {
    if (Dc_ != nullptr) ReleaseDC(nullptr, Dc_);
  }
  TScreenDc(const TScreenDc&) = delete;
  TScreenDc& operator=(const TScreenDc&) = delete;
  HDC Get() const { return Dc_; }

 private:
  HDC Dc_;
};

class TWin32WindowSystem final : public TWindowSystem {
 public:
  bool IsWindow(TWindowHandle window) override { return window != 0 && ::IsWindow(AsHwnd(window)); }

  TWindowSize ClientSize(TWindowHandle window) override {
    RECT client{};
    if (!IsWindow(window) || !GetClientRect(AsHwnd(window), &client)) return {};
    return {client.right - client.left, client.bottom - client.top};
  }

  void EnumTopLevelWindows(const std::function<bool(TWindowHandle)>& visit) override {
    // Visited outside EnumWindows, so that what the visitor throws does not
    // cross the system's callback. A nested enumeration has its own scan.
    TTopLevelScan scan = ScanTopLevelWindows();
    struct TRestore {
      TWin32WindowSystem* Self;
      const TTopLevelScan* Outer;
      ~TRestore() { Self->Scan_ = Outer; }
    } restore{this, Scan_};
    Scan_ = &scan;
    for (HWND window : scan.Windows)
      if (!visit(HandleOf(window))) return;
  }

  std::string WindowTitle(TWindowHandle window) override {
    if (const TWindowFacts* facts = ScannedFacts(window)) return facts->Title;
    return IsWindow(window) ? ReadWindowTitle(AsHwnd(window)) : std::string();
  }

  std::string WindowClassName(TWindowHandle window) override {
    if (const TWindowFacts* facts = ScannedFacts(window)) return facts->ClassName;
    return IsWindow(window) ? ReadWindowClassName(AsHwnd(window)) : std::string();
  }

  uint32_t WindowProcessId(TWindowHandle window) override {
    if (const TWindowFacts* facts = ScannedFacts(window)) return facts->ProcessId;
    return IsWindow(window) ? ReadWindowProcessId(AsHwnd(window)) : 0;
  }

  void ShowWindow(TWindowHandle window, bool visible) override {
    if (IsWindow(window)) ::ShowWindow(AsHwnd(window), visible ? SW_SHOW : SW_HIDE);
  }

  bool MoveWindow(TWindowHandle window, int32_t x, int32_t y, int32_t width, int32_t height) override {
    if (!IsWindow(window)) return false;
    return ::MoveWindow(AsHwnd(window), x, y, std::max(width, 0), std::max(height, 0), TRUE) != FALSE;
  }

  bool SetParent(TWindowHandle window, TWindowHandle parent) override {
    if (!IsWindow(window) || (parent != 0 && !IsWindow(parent))) return false;
    HWND hwnd = AsHwnd(window);
    // A top-level window that becomes a child loses its frame, caption and
    // taskbar button first; one that becomes top-level is a pop-up again.
    const auto style = static_cast<uint32_t>(GetWindowLongA(hwnd, GWL_STYLE));
    const auto ex_style = static_cast<uint32_t>(GetWindowLongA(hwnd, GWL_EXSTYLE));
    if (parent != 0) {
      SetWindowLongA(hwnd, GWL_STYLE, static_cast<LONG>(EmbeddedStyle(style)));
      SetWindowLongA(hwnd, GWL_EXSTYLE, static_cast<LONG>(EmbeddedExStyle(ex_style)));
    }
    SetLastError(ERROR_SUCCESS);
    const HWND previous = ::SetParent(hwnd, AsHwnd(parent));
    const bool moved = previous != nullptr || GetLastError() == ERROR_SUCCESS;
    if (parent == 0) SetWindowLongA(hwnd, GWL_STYLE, static_cast<LONG>(TopLevelStyle(style)));
    // The new frame (none) takes effect with the move to the parent's corner.
    SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    return moved && GetParent(window) == parent;
  }

  TWindowHandle GetParent(TWindowHandle window) override {
    if (!IsWindow(window)) return 0;
    // GetAncestor, not GetParent: a top-level window's owner is no parent.
    HWND parent = GetAncestor(AsHwnd(window), GA_PARENT);
    if (parent == nullptr || parent == GetDesktopWindow()) return 0;
    return HandleOf(parent);
  }

  bool CloseWindow(TWindowHandle window, int timeout_ms) override {
    if (!IsWindow(window)) return true;
    HWND hwnd = AsHwnd(window);
    // A window of this thread closes while it is sent the request; another
    // thread's takes it from its own queue while this one waits, handling
    // what that thread sends here (a closing child notifies its parent).
    if (IsWindowOfThisThread(hwnd))
      SendMessageA(hwnd, WM_CLOSE, 0, 0);
    else
      PostMessageA(hwnd, WM_CLOSE, 0, 0);
    return WaitTakingSentMessages(nullptr, std::max(timeout_ms, 0), [hwnd] { return !::IsWindow(hwnd); });
  }

  void ClipChildren(TWindowHandle window) override {
    if (!IsWindow(window)) return;
    HWND hwnd = AsHwnd(window);
    SetWindowLongA(hwnd, GWL_STYLE, GetWindowLongA(hwnd, GWL_STYLE) | WS_CLIPCHILDREN);
  }

  TWindowHandle CreatePlainWindow(TWindowHandle parent, int32_t x, int32_t y, int32_t width,
                                  int32_t height) override {
    if (parent != 0 && !IsWindow(parent)) return 0;
    return HandleOf(CreatePlainWindowOf(AsHwnd(parent), x, y, width, height));
  }

  void DestroyWindow(TWindowHandle window) override {
    if (IsWindow(window)) ::DestroyWindow(AsHwnd(window));
  }

  void SetPaintHandler(TWindowHandle window, TPaintHandler paint) override {
    if (!IsWindow(window) || !SetPlainWindowPainter(AsHwnd(window), std::move(paint))) return;
    InvalidateRect(AsHwnd(window), nullptr, FALSE);
  }

  void Repaint(TWindowHandle window, const TRect& area) override {
    if (!IsWindow(window) || area.Empty() || !HasPlainWindowPainter(AsHwnd(window))) return;
    const RECT part{area.Left, area.Top, area.Right, area.Bottom};
    RedrawWindow(AsHwnd(window), &part, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_NOCHILDREN);
  }

  TWindowSize TextExtent(std::string_view text, int32_t font_height) override {
    const TScreenDc screen;
    return LabelTextSize(screen.Get(), text, font_height);
  }

  int32_t ScreenPixelsPerInch() override {
    const TScreenDc screen;
    if (screen.Get() == nullptr) return kDefaultPixelsPerInch;
    const int pixels = GetDeviceCaps(screen.Get(), LOGPIXELSY);
    return pixels > 0 ? pixels : kDefaultPixelsPerInch;
  }

 private:
  const TWindowFacts* ScannedFacts(TWindowHandle window) const {
    if (Scan_ == nullptr) return nullptr;
    const auto found = Scan_->Facts.find(AsHwnd(window));
    return found == Scan_->Facts.end() ? nullptr : &found->second;
  }

  const TTopLevelScan* Scan_ = nullptr;  // while an enumeration runs
};

}  // namespace

TWindowSystem& DefaultWindowSystem() {
  static TWin32WindowSystem windows;
  return windows;
}

}  // namespace qel
