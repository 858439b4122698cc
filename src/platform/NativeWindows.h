// Native windows as the launcher needs them: finding a game's main window
// among the top-level windows, pulling it into the plug-in's window, and
// asking it to close. On X11 one display connection per process serves all
// calls; it is opened when a window is first needed, so that an instance
// without windows needs no display. Without a display every question answers
// "no window" and every change fails. All calls come from the plug-in thread.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/Bitmap.h"
#include "platform/WindowHandle.h"

namespace qel {

struct TWindowSize {
  int32_t Width = 0;
  int32_t Height = 0;
};

// Drawing on one window, handed to the window's paint handler. Coordinates
// are the window's; everything is cut at its edges and at its children.
class TWindowCanvas {
 public:
  virtual ~TWindowCanvas() = default;
  // `area` of `bitmap` at its own size, its top left at (x, y).
  virtual void DrawBitmap(int32_t x, int32_t y, const TBitmap& bitmap, const TRect& area) = 0;
  virtual void FillRect(const TRect& rect, TColor color) = 0;
  // `text` in the label font of `font_height` pixels, its box (TextExtent)
  // at (x, y) filled with `background` first.
  virtual void DrawLabel(int32_t x, int32_t y, std::string_view text, int32_t font_height, TColor color,
                        TColor background) = 0;
};

// Paints `area` of a window (never empty).
using TPaintHandler = std::function<void(TWindowCanvas& canvas, const TRect& area)>;

class TWindowSystem {
 public:
  virtual ~TWindowSystem() = default;

  // True while the handle names an existing window.
  virtual bool IsWindow(TWindowHandle window) = 0;
  // The size of the window's inside; 0 x 0 for no window.
  virtual TWindowSize ClientSize(TWindowHandle window) = 0;

  // Calls `visit` for each top-level window (on X11: each child of the root,
  // or the client window inside a window manager's frame), topmost first,
  // until it answers false. While `visit` runs, the title, class name and
  // process id of the windows it is handed are answered as they were when
  // the enumeration began (on X11 they are read for all windows at once).
  virtual void EnumTopLevelWindows(const std::function<bool(TWindowHandle)>& visit) = 0;
  // The title as 8-bit text (empty when it has none).
  virtual std::string WindowTitle(TWindowHandle window) = 0;
  // The window's class name (on X11 the class part of WM_CLASS).
  virtual std::string WindowClassName(TWindowHandle window) = 0;
  // The id of the process that made the window, 0 when it does not say.
  virtual uint32_t WindowProcessId(TWindowHandle window) = 0;

  virtual void ShowWindow(TWindowHandle window, bool visible) = 0;
  // Position within the parent, and size (X has no empty windows: a width
  // or height below 1 becomes 1); false when it failed.
  virtual bool MoveWindow(TWindowHandle window, int32_t x, int32_t y, int32_t width, int32_t height) = 0;
  // Makes `window` a child of `parent` (0: a top-level window), at 0, 0.
  // False when it failed.
  virtual bool SetParent(TWindowHandle window, TWindowHandle parent) = 0;
  // The window's parent; 0 for a child of the root window or no window. On
  // X11 a top-level window inside a window manager's frame answers the frame.
  virtual TWindowHandle GetParent(TWindowHandle window) = 0;

  // Asks the window to close, as its close button would (on X11 the
  // WM_DELETE_WINDOW message), and waits at most timeout_ms for it to be
  // gone. True when it is gone (also when there was no such window); false
  // without a display.
  virtual bool CloseWindow(TWindowHandle window, int timeout_ms) = 0;

  // Keeps the window's drawing off its children. X11 always does; a Win32
  // window needs the style for it.
  virtual void ClipChildren(TWindowHandle window) { (void)window; }

  // A plain window of the given size, a child of `parent` (0: a top-level
  // window), shown. 0 when it cannot be made.
  virtual TWindowHandle CreatePlainWindow(TWindowHandle parent, int32_t x, int32_t y, int32_t width,
                                     int32_t height) = 0;
  virtual void DestroyWindow(TWindowHandle window) = 0;

  // From now on `paint` draws every part of the window that needs drawing
  // (on X11: each exposure), and the window's background is never cleared
  // first, so that a picture on it does not flicker. An empty handler ends
  // this. For windows this process made.
  virtual void SetPaintHandler(TWindowHandle window, TPaintHandler paint) = 0;
  // Draws `area` of the window through its handler now.
  virtual void Repaint(TWindowHandle window, const TRect& area) = 0;
  // The size of `text` in the label font of `font_height` pixels.
  virtual TWindowSize TextExtent(std::string_view text, int32_t font_height) = 0;
  // The screen's pixels per inch; 96 without a screen.
  virtual int32_t ScreenPixelsPerInch() = 0;
};

// The process's own windowing system.
TWindowSystem& DefaultWindowSystem();

}  // namespace qel
