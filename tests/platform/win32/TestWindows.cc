#include "TestWindows.h"

namespace qel::test {
namespace {

constexpr char kTestClass[] = "QelTestWindow";

LRESULT CALLBACK TestWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lparam);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  } else if (message == WM_CLOSE) {
    if (auto* behaviour = reinterpret_cast<TCloseBehaviour*>(GetWindowLongPtrA(window, GWLP_USERDATA))) {
      ++behaviour->Requests;
      if (behaviour->NotifyFirst != nullptr) SendMessageA(behaviour->NotifyFirst, WM_USER, 0, 0);
      if (behaviour->Refuse) return 0;
    }
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

ATOM TestClass() {
  static const ATOM atom = [] {
    WNDCLASSEXA description{};
    description.cbSize = sizeof description;
    description.lpfnWndProc = &TestWindowProc;
    description.hInstance = GetModuleHandleA(nullptr);
    description.lpszClassName = kTestClass;
    return RegisterClassExA(&description);
  }();
  return atom;
}

}  // namespace

void PumpMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

bool PumpUntil(const std::function<bool()>& done, int timeout_ms) {
  const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(timeout_ms);
  for (;;) {
    PumpMessages();
    if (done()) return true;
    if (GetTickCount64() >= deadline) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

HWND MakeTestWindow(const std::string& title, DWORD style, DWORD ex_style, HWND parent,
                    TCloseBehaviour* behaviour) {
  if (TestClass() == 0) return nullptr;
  return CreateWindowExA(ex_style, kTestClass, title.c_str(), style, 10, 20, 200, 100, parent, nullptr,
                         GetModuleHandleA(nullptr), behaviour);
}

std::string TestWindowClassName() { return kTestClass; }

bool HaveDisplay() {
  static const bool have = [] {
    const TOwnedWindow probe(MakeTestWindow("", WS_POPUP));
    return probe != nullptr;
  }();
  return have;
}

TWindowThread::TWindowThread(TCloseBehaviour* behaviour, const std::string& title)
    : Thread_(&TWindowThread::Serve, this, behaviour, title) {
  std::unique_lock<std::mutex> hold(Lock_);
  Changed_.wait(hold, [this] { return Ready_; });
}

TWindowThread::~TWindowThread() {
  PostThreadMessageA(ThreadId_, WM_QUIT, 0, 0);
  Thread_.join();
}

void TWindowThread::Serve(TCloseBehaviour* behaviour, std::string title) {
  HWND window = MakeTestWindow(title, 0, 0, HWND_MESSAGE, behaviour);
  MSG message;
  PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);  // the thread's queue exists from here
  {
    const std::lock_guard<std::mutex> hold(Lock_);
    Window_ = window;
    ThreadId_ = GetCurrentThreadId();
    Ready_ = true;
  }
  Changed_.notify_all();
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  if (IsWindow(window)) DestroyWindow(window);
}

}  // namespace qel::test
