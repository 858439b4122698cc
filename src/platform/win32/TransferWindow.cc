#include "platform/win32/TransferWindow.h"

#include <mutex>
#include <string>

#include "platform/HttpTransfer.h"
#include "platform/LastResort.h"

namespace qel {
namespace {

constexpr UINT kWakeMessage = WM_APP + 0x51;
constexpr wchar_t kClassName[] = L"QelHttpTransferWindow";

// The class lives while windows of it do: a library unloaded and loaded
// again must not find its class bound to the old copy's procedure.
std::mutex ClassMutex;
int ClassUsers = 0;

HINSTANCE OwnModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&OwnModule), &module);
  return module;
}

bool UseClass(WNDPROC procedure) {
  const std::lock_guard<std::mutex> lock(ClassMutex);
  if (ClassUsers == 0) {
    WNDCLASSEXW window_class = {};
    window_class.cbSize = sizeof window_class;
    window_class.lpfnWndProc = procedure;
    window_class.hInstance = OwnModule();
    window_class.lpszClassName = kClassName;
    if (RegisterClassExW(&window_class) == 0) return false;
  }
  ++ClassUsers;
  return true;
}

void LeaveClass() {
  const std::lock_guard<std::mutex> lock(ClassMutex);
  if (--ClassUsers == 0) UnregisterClassW(kClassName, OwnModule());
}

}  // namespace

TTransferWindow::TTransferWindow(TWakeFunction wake, void* owner) : Wake_(wake), Owner_(owner) {
  if (!UseClass(&TTransferWindow::Procedure)) {
    throw EHttpTransferError(kHttpErrorInternal,
                             "the window for HTTP events could not be registered: error " +
                                 std::to_string(GetLastError()));
  }
  Window_ = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, OwnModule(), nullptr);
  if (Window_ == nullptr) {
    const DWORD error = GetLastError();
    LeaveClass();
    throw EHttpTransferError(kHttpErrorInternal,
                             "the window for HTTP events could not be made: error " + std::to_string(error));
  }
  SetWindowLongPtrW(Window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

TTransferWindow::~TTransferWindow() {
  SetWindowLongPtrW(Window_, GWLP_USERDATA, 0);
  // Wake-ups still queued for the window are dropped with it.
  DestroyWindow(Window_);
  LeaveClass();
}

bool TTransferWindow::PostWake(HWND window) { return PostMessageW(window, kWakeMessage, 0, 0) != 0; }

LRESULT CALLBACK TTransferWindow::Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message != kWakeMessage) return DefWindowProcW(window, message, wparam, lparam);
  // Nothing may unwind into the system's message dispatch.
  try {
    auto* self = reinterpret_cast<TTransferWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self != nullptr) self->Wake_(self->Owner_);
  } catch (...) {
    ReportCurrentException();
  }
  return 0;
}

}  // namespace qel
