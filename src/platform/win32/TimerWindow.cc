#include "platform/win32/TimerWindow.h"

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>

#include "platform/Error.h"
#include "platform/LastResort.h"
#include "platform/win32/SystemError.h"

namespace qel::win32 {
namespace {

constexpr char kWindowClass[] = "QelTimerWindow";

std::atomic<uintptr_t> LastTimerId{0};

LRESULT CALLBACK TimerWindowProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// The module that holds this code: the window class belongs to it.
HINSTANCE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCSTR>(&TimerWindowProcedure), &module);
  return module;
}

// Registered once per process. A module loaded again at the same address
// finds its class still registered, with the same procedure: that is fine.
void RegisterWindowClass() {
  static const bool registered = [] {
    WNDCLASSEXA window_class{};
    window_class.cbSize = sizeof window_class;
    window_class.lpfnWndProc = &TimerWindowProcedure;
    window_class.hInstance = ThisModule();
    window_class.lpszClassName = kWindowClass;
    if (RegisterClassExA(&window_class) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
      throw EQelError("cannot register the timer window class: " + LastErrorText());
    return true;
  }();
  (void)registered;
}

HWND CreateTimerWindow() {
  RegisterWindowClass();
  const HWND window =
      CreateWindowExA(0, kWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, ThisModule(), nullptr);
  if (window == nullptr) throw EQelError("cannot make the timer window: " + LastErrorText());
  return window;
}

// A thread's window and the timers it carries, made with the thread's first
// timer and gone with its last.
struct TThreadTimers {
  explicit TThreadTimers(HWND window) : Window(window) {}
  ~TThreadTimers() { DestroyWindow(Window); }
  TThreadTimers(const TThreadTimers&) = delete;
  TThreadTimers& operator=(const TThreadTimers&) = delete;

  const HWND Window;
  std::unordered_map<uintptr_t, TTimerTarget*> Targets;
  int Dispatching = 0;  // ticks in progress, nested ones counted
};

// Owns the calling thread's timers while it has any. A plain pointer: with
// mingw-w64, a thread_local object with a destructor has its memory freed
// before that destructor runs at the thread's end. A thread that ends with
// timers still running leaves their few bytes behind; the system destroys
// its window.
thread_local TThreadTimers* ThreadTimers = nullptr;

TThreadTimers& CallingThreadTimers() {
  if (ThreadTimers == nullptr) ThreadTimers = std::make_unique<TThreadTimers>(CreateTimerWindow()).release();
  return *ThreadTimers;
}

// Not while a tick is running on the window: its procedure is on the stack.
void ReleaseIfUnused() {
  if (ThreadTimers == nullptr || !ThreadTimers->Targets.empty() || ThreadTimers->Dispatching > 0) return;
  const std::unique_ptr<TThreadTimers> unused(std::exchange(ThreadTimers, nullptr));
}

void Dispatch(uintptr_t id) {
  if (ThreadTimers == nullptr) return;
  const auto found = ThreadTimers->Targets.find(id);
  if (found == ThreadTimers->Targets.end()) return;
  TTimerTarget* const target = found->second;
  ++ThreadTimers->Dispatching;
  try {
    target->OnTimer();
  } catch (...) {
    ReportCurrentException();
  }
  // The thread's timers are kept while a tick runs, so they are still there.
  --ThreadTimers->Dispatching;
  ReleaseIfUnused();
}

LRESULT CALLBACK TimerWindowProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message != WM_TIMER) return DefWindowProcA(window, message, wparam, lparam);
  // Nothing may leave a window procedure: the system's code is below it.
  try {
    Dispatch(wparam);
  } catch (...) {
    ReportCurrentException();
  }
  return 0;
}

}  // namespace

uintptr_t StartThreadTimer(TTimerTarget& target, unsigned interval_ms) {
  TThreadTimers& timers = CallingThreadTimers();
  const uintptr_t id = ++LastTimerId;
  timers.Targets.emplace(id, &target);
  if (SetTimer(timers.Window, id, interval_ms, nullptr) == 0) {
    const std::string reason = LastErrorText();
    timers.Targets.erase(id);
    ReleaseIfUnused();
    throw EQelError("cannot start a timer: " + reason);
  }
  // The system's least interval is 10 ms; what asks for none is due now.
  if (interval_ms == 0) PostMessageA(timers.Window, WM_TIMER, id, 0);
  return id;
}

void StopThreadTimer(uintptr_t id) {
  if (ThreadTimers == nullptr || ThreadTimers->Targets.erase(id) == 0) return;
  KillTimer(ThreadTimers->Window, id);
  ReleaseIfUnused();
}

}  // namespace qel::win32
