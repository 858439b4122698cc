// The native window an instance lives in. A browser that gives windowed
// plug-ins a window of their own (XEmbed in a GTK socket; every Win32
// browser) hands it over in NPP_SetWindow and it is used as it is. QtWebKit
// gives them none, so there the instance declares itself windowless and
// makes its own child of the browser's top-level window, kept over the
// element's box as the page lays out and scrolls, and hidden while the box is
// empty or out of view.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "host/BrowserObject.h"
#include "host/NPApi.h"
#include "platform/NativeWindows.h"

namespace qel {

class TPlugin;

// A box in the browser's top-level window.
struct TBox {
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Width = 0;
  int32_t Height = 0;
  bool operator==(const TBox&) const = default;
};

class TPluginHostWindow {
 public:
  // Asks the browser how it hosts plug-ins and, when it gives them no
  // window, declares the instance windowless. Call it from NPP_New.
  TPluginHostWindow(NPP instance, TWindowSystem& windows);
  ~TPluginHostWindow();
  TPluginHostWindow(const TPluginHostWindow&) = delete;
  TPluginHostWindow& operator=(const TPluginHostWindow&) = delete;

  bool Windowless() const { return Windowless_; }

  // The window record to hand on to the instance for the one the browser
  // gave: the same when windowed; when windowless, the own window (made on
  // first need, hidden until placed) at the size the browser gave.
  NPWindow Adopt(const NPWindow& given);
  // Windowless: reads the element's box and the page's view again, then
  // moves, shows or hides the own window to match. Failures of the page
  // reads leave the window where it is. True when its size changed.
  bool FollowElement(TPlugin& plugin);

  TWindowHandle OwnWindow() const { return Own_; }

 private:
  std::optional<TBox> ElementBox();
  std::optional<TBox> ViewBox(TPlugin& plugin);

  NPP Instance_;
  TWindowSystem& Windows_;
  bool Windowless_ = false;
  TWindowHandle Own_ = 0;
  std::unique_ptr<TBrowserObject> Element_;
  std::optional<TBox> Placed_;
  bool Shown_ = false;
};

}  // namespace qel
