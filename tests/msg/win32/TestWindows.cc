// On Windows copy-data blocks are real WM_COPYDATA messages, so a window is
// a real one: message-only, which needs no display, and of the calling
// thread, which receives for it. It goes when the thread ends.
#include "TestWindows.h"

#include <windows.h>

#include <stdexcept>

namespace qel::test {
namespace {

const char* WindowClass() {
  static const char* const name = [] {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "QelMsgTestWindow";
    if (RegisterClassA(&windowClass) == 0) throw std::runtime_error("cannot register the test window class");
    return windowClass.lpszClassName;
  }();
  return name;
}

}  // namespace

TWindowHandle UniqueWindow() {
  HWND window = CreateWindowExA(0, WindowClass(), "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
  if (window == nullptr) throw std::runtime_error("cannot make a message-only test window");
  return reinterpret_cast<TWindowHandle>(window);
}

}  // namespace qel::test
