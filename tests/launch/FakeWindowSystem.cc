#include "FakeWindowSystem.h"

#include <utility>

namespace qel::test {

TWindowHandle TFakeWindowSystem::NewHandle() { return NewHandle_ ? NewHandle_() : Next_++; }

TWindowHandle TFakeWindowSystem::AddTopLevel(const std::string& title, const std::string& class_name,
                                             uint32_t process_id) {
  const TWindowHandle window = NewHandle();
  Windows[window] = TWindow{title, class_name, process_id, 0, 0, 0, 300, 200, true};
  return window;
}

bool TFakeWindowSystem::IsWindow(TWindowHandle window) { return Windows.contains(window); }

TWindowSize TFakeWindowSystem::ClientSize(TWindowHandle window) {
  const auto found = Windows.find(window);
  return found == Windows.end() ? TWindowSize{} : TWindowSize{found->second.Width, found->second.Height};
}

void TFakeWindowSystem::EnumTopLevelWindows(const std::function<bool(TWindowHandle)>& visit) {
  // A copy: the visitor may change windows.
  const std::map<TWindowHandle, TWindow> windows = Windows;
  for (const auto& [handle, window] : windows) {
    if (window.Parent == 0 && !visit(handle)) return;
  }
}

std::string TFakeWindowSystem::WindowTitle(TWindowHandle window) {
  return IsWindow(window) ? Windows[window].Title : std::string();
}

std::string TFakeWindowSystem::WindowClassName(TWindowHandle window) {
  return IsWindow(window) ? Windows[window].ClassName : std::string();
}

uint32_t TFakeWindowSystem::WindowProcessId(TWindowHandle window) {
  return IsWindow(window) ? Windows[window].ProcessId : 0;
}

void TFakeWindowSystem::ShowWindow(TWindowHandle window, bool visible) {
  Calls.push_back(visible ? "show" : "hide");
  if (IsWindow(window)) Windows[window].Visible = visible;
}

bool TFakeWindowSystem::MoveWindow(TWindowHandle window, int32_t x, int32_t y, int32_t width, int32_t height) {
  Calls.push_back("move");
  if (!IsWindow(window)) return false;
  Windows[window].X = x;
  Windows[window].Y = y;
  Windows[window].Width = width;
  Windows[window].Height = height;
  return true;
}

bool TFakeWindowSystem::SetParent(TWindowHandle window, TWindowHandle parent) {
  Calls.push_back("parent");
  if (FailSetParent || !IsWindow(window) || !IsWindow(parent)) return false;
  Windows[window].Parent = parent;
  return true;
}

TWindowHandle TFakeWindowSystem::GetParent(TWindowHandle window) {
  return IsWindow(window) ? Windows[window].Parent : 0;
}

bool TFakeWindowSystem::CloseWindow(TWindowHandle window, int) {
  CloseRequests.push_back(window);
  if (OnCloseRequest) OnCloseRequest(window);
  if (ClosesOnRequest) Windows.erase(window);
  return !IsWindow(window);
}

TWindowHandle TFakeWindowSystem::CreatePlainWindow(TWindowHandle parent, int32_t x, int32_t y, int32_t width,
                                              int32_t height) {
  const TWindowHandle window = NewHandle();
  Windows[window] = TWindow{"", "", 0, parent, x, y, width, height, true};
  return window;
}

void TFakeWindowSystem::DestroyWindow(TWindowHandle window) {
  Windows.erase(window);
  Painters.erase(window);
  Screens.erase(window);
}

namespace {

// Draws into the window's screen bitmap.
class TFakeCanvas final : public TWindowCanvas {
 public:
  TFakeCanvas(TFakeWindowSystem& windows, TBitmap& screen) : Windows_(windows), Screen_(screen) {}

  void DrawBitmap(int32_t x, int32_t y, const TBitmap& bitmap, const TRect& area) override {
    Screen_.CopyRect(x, y, bitmap, area);
  }
  void FillRect(const TRect& rect, TColor color) override { Screen_.FillRect(rect, color); }
  void DrawLabel(int32_t x, int32_t y, std::string_view text, int32_t font_height, TColor,
                TColor background) override {
    const TWindowSize box = Windows_.TextExtent(text, font_height);
    Screen_.FillRect(TRect::OfSize(x, y, box.Width, box.Height), background);
    Windows_.Texts.push_back({x, y, std::string(text), font_height});
  }

 private:
  TFakeWindowSystem& Windows_;
  TBitmap& Screen_;
};

}  // namespace

void TFakeWindowSystem::SetPaintHandler(TWindowHandle window, TPaintHandler paint) {
  if (paint)
    Painters[window] = std::move(paint);
  else
    Painters.erase(window);
}

void TFakeWindowSystem::Repaint(TWindowHandle window, const TRect& area) {
  const auto painter = Painters.find(window);
  if (painter == Painters.end() || !IsWindow(window)) return;
  const TWindow& shape = Windows[window];
  TBitmap& screen = Screens[window];
  if (screen.Width() != shape.Width || screen.Height() != shape.Height) screen = TBitmap(shape.Width, shape.Height);
  const TRect visible = Intersection(area, screen.Bounds());
  if (visible.Empty()) return;
  Paints.push_back({window, visible});
  TFakeCanvas canvas(*this, screen);
  const TPaintHandler paint = painter->second;
  paint(canvas, visible);
}

void TFakeWindowSystem::Expose(TWindowHandle window) {
  if (IsWindow(window)) Repaint(window, TRect::OfSize(0, 0, Windows[window].Width, Windows[window].Height));
}

TWindowSize TFakeWindowSystem::TextExtent(std::string_view text, int32_t font_height) {
  return {static_cast<int32_t>(text.size()) * kCharWidth, font_height};
}

}  // namespace qel::test
