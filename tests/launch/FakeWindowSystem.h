// Windows in memory, for the launcher's tests without a display: tests make
// top-level windows as other processes would and can make reparenting fail.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/NativeWindows.h"

namespace qel::test {

class TFakeWindowSystem : public TWindowSystem {
 public:
  // Handles count up from `first`: processes that listen on window ids at
  // the same time need handles of their own.
  explicit TFakeWindowSystem(TWindowHandle first = 0x400001) : Next_(first) {}
  // Handles from `new_handle`, such as UniqueWindow: on Windows copy-data
  // messages are received only for real windows of the receiving thread, so
  // windows the code under test listens on must have real handles.
  explicit TFakeWindowSystem(std::function<TWindowHandle()> new_handle) : NewHandle_(std::move(new_handle)) {}

  struct TWindow {
    std::string Title;
    std::string ClassName;
    uint32_t ProcessId = 0;
    TWindowHandle Parent = 0;
    int32_t X = 0;
    int32_t Y = 0;
    int32_t Width = 0;
    int32_t Height = 0;
    bool Visible = true;
  };

  // A top-level window of another process.
  TWindowHandle AddTopLevel(const std::string& title, const std::string& class_name, uint32_t process_id);

  bool FailSetParent = false;
  // Whether windows go when asked to close.
  bool ClosesOnRequest = true;
  std::vector<TWindowHandle> CloseRequests;
  // Called with each close request, before the window goes.
  std::function<void(TWindowHandle)> OnCloseRequest;
  std::vector<std::string> Calls;  // "hide", "move", "parent", "show", in order
  std::map<TWindowHandle, TWindow> Windows;

  // Painting: what each painted window shows, as its paint handler drew it,
  // the areas repainted in order, and the texts drawn. A text's box is
  // kCharWidth pixels a character wide and the font's height high.
  static constexpr int32_t kCharWidth = 7;
  int32_t PixelsPerInch = 120;
  std::map<TWindowHandle, TPaintHandler> Painters;
  std::map<TWindowHandle, TBitmap> Screens;
  struct TPaint {
    TWindowHandle Window = 0;
    TRect Area;
  };
  std::vector<TPaint> Paints;
  struct TText {
    int32_t X = 0;
    int32_t Y = 0;
    std::string Text;
    int32_t FontHeight = 0;
  };
  std::vector<TText> Texts;
  // Exposes all of a window, as a window system does when it is shown.
  void Expose(TWindowHandle window);

  bool IsWindow(TWindowHandle window) override;
  TWindowSize ClientSize(TWindowHandle window) override;
  void EnumTopLevelWindows(const std::function<bool(TWindowHandle)>& visit) override;
  std::string WindowTitle(TWindowHandle window) override;
  std::string WindowClassName(TWindowHandle window) override;
  uint32_t WindowProcessId(TWindowHandle window) override;
  void ShowWindow(TWindowHandle window, bool visible) override;
  bool MoveWindow(TWindowHandle window, int32_t x, int32_t y, int32_t width, int32_t height) override;
  bool SetParent(TWindowHandle window, TWindowHandle parent) override;
  TWindowHandle GetParent(TWindowHandle window) override;
  bool CloseWindow(TWindowHandle window, int timeout_ms) override;
  TWindowHandle CreatePlainWindow(TWindowHandle parent, int32_t x, int32_t y, int32_t width, int32_t height) override;
  void DestroyWindow(TWindowHandle window) override;
  void SetPaintHandler(TWindowHandle window, TPaintHandler paint) override;
  void Repaint(TWindowHandle window, const TRect& area) override;
  TWindowSize TextExtent(std::string_view text, int32_t font_height) override;
  int32_t ScreenPixelsPerInch() override { return PixelsPerInch; }

 private:
  TWindowHandle NewHandle();

  TWindowHandle Next_ = 0;
  std::function<TWindowHandle()> NewHandle_;
};

}  // namespace qel::test
