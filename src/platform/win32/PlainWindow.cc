#include "platform/win32/PlainWindow.h"

#include <map>
#include <mutex>
#include <string>
#include <utility>

#include "platform/LastResort.h"
#include "platform/win32/GdiCanvas.h"

namespace qel {
namespace {

constexpr char kClassName[] = "QelPlainWindow";

// The paint handlers of the plain windows that have one; a window leaves
// when it is destroyed.
class TPainters {
 public:
  void Set(HWND window, TPaintHandler paint) {
    const std::lock_guard<std::mutex> hold(Lock_);
    if (paint)
      Handlers_[window] = std::move(paint);
    else
      Handlers_.erase(window);
  }
  // A copy: painting may end the window's painting.
  TPaintHandler Get(HWND window) const {
    const std::lock_guard<std::mutex> hold(Lock_);
    const auto found = Handlers_.find(window);
    return found == Handlers_.end() ? TPaintHandler() : found->second;
  }
  bool Has(HWND window) const {
    const std::lock_guard<std::mutex> hold(Lock_);
    return Handlers_.count(window) != 0;
  }

 private:
  mutable std::mutex Lock_;
  std::map<HWND, TPaintHandler> Handlers_;
};

TPainters& Painters() {
  static TPainters painters;
  return painters;
}

// Paints the window's invalid part through its handler; false when it has
// none.
bool Paint(HWND window) {
  const TPaintHandler paint = Painters().Get(window);
  if (!paint) return false;
  PAINTSTRUCT session{};
  HDC dc = BeginPaint(window, &session);
  if (dc == nullptr) return true;
  try {
    const TRect area{session.rcPaint.left, session.rcPaint.top, session.rcPaint.right, session.rcPaint.bottom};
    if (!area.Empty()) {
      TGdiCanvas canvas(dc);
      paint(canvas, area);
    }
  } catch (...) {
    ReportCurrentException();
  }
  EndPaint(window, &session);
  return true;
}

LRESULT CALLBACK PlainWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  try {
    switch (message) {
      case WM_ERASEBKGND:
        // The handler paints every part; clearing first would flicker.
        if (Painters().Has(window)) return 1;
        break;
      case WM_PAINT:
        if (Paint(window)) return 0;
        break;
      case WM_NCDESTROY:
        Painters().Set(window, {});
        break;
      default:
        break;
    }
  } catch (...) {
    ReportCurrentException();
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

HINSTANCE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCSTR>(&PlainWindowProc), &module);
  return module;
}

// A library's window classes outlive it unless it unregisters them, and a
// copy loaded again later could not register its own.
class TPlainWindowClass {
 public:
  TPlainWindowClass() : Module_(ThisModule()) {
    WNDCLASSEXA description{};
    description.cbSize = sizeof description;
    description.lpfnWndProc = &PlainWindowProc;
    description.hInstance = Module_;
    description.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    description.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    description.lpszClassName = kClassName;
    Atom_ = RegisterClassExA(&description);
  }
  ~TPlainWindowClass() {
    if (Atom_ != 0) UnregisterClassA(kClassName, Module_);
  }
  TPlainWindowClass(const TPlainWindowClass&) = delete;
  TPlainWindowClass& operator=(const TPlainWindowClass&) = delete;

  bool Registered() const { return Atom_ != 0; }
  HINSTANCE Module() const { return Module_; }

 private:
  HINSTANCE Module_;
  ATOM Atom_ = 0;
};

const TPlainWindowClass& WindowClass() {
  static TPlainWindowClass window_class;
  return window_class;
}

// A window of this process, of the class this copy of the library registered.
bool IsPlainWindow(HWND window) {
  DWORD process = 0;
  if (!IsWindow(window) || GetWindowThreadProcessId(window, &process) == 0 || process != GetCurrentProcessId())
    return false;
  char name[sizeof kClassName + 1] = {};
  GetClassNameA(window, name, sizeof name);
  return std::string(name) == kClassName &&
         GetClassLongPtrA(window, GCLP_HMODULE) == reinterpret_cast<ULONG_PTR>(WindowClass().Module());
}

}  // namespace

HWND CreatePlainWindowOf(HWND parent, int32_t x, int32_t y, int32_t width, int32_t height) {
  const TPlainWindowClass& window_class = WindowClass();
  if (!window_class.Registered()) return nullptr;
  const DWORD style = (parent != nullptr ? WS_CHILD | WS_CLIPSIBLINGS : WS_POPUP) | WS_VISIBLE;
  return CreateWindowExA(0, kClassName, "", style, x, y, width < 0 ? 0 : width, height < 0 ? 0 : height, parent,
                         nullptr, window_class.Module(), nullptr);
}

bool SetPlainWindowPainter(HWND window, TPaintHandler paint) {
  if (!IsPlainWindow(window)) return false;
  Painters().Set(window, std::move(paint));
  return true;
}

bool HasPlainWindowPainter(HWND window) { return Painters().Has(window); }

std::string PlainWindowClassName() { return kClassName; }

}  // namespace qel
