#include "FakeWindowSystem.h"

namespace qel::test {

TWindowHandle TFakeWindowSystem::AddTopLevel(const std::string& title, const std::string& class_name,
                                             uint32_t process_id) {
  const TWindowHandle window = Next_++;
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

TWindowHandle TFakeWindowSystem::CreateWindow(TWindowHandle parent, int32_t x, int32_t y, int32_t width,
                                              int32_t height) {
  const TWindowHandle window = Next_++;
  Windows[window] = TWindow{"", "", 0, parent, x, y, width, height, true};
  return window;
}

void TFakeWindowSystem::DestroyWindow(TWindowHandle window) { Windows.erase(window); }

}  // namespace qel::test
