// Windows for the Win32 tests: a test class whose windows close or refuse
// to, windows kept on a thread of their own, and pumping this thread's
// messages as the plug-in thread's loop would.
#pragma once

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "Patience.h"

namespace qel::test {

// Dispatches this thread's waiting messages.
void PumpMessages();
// Pumps until `done` answers true or `timeout_ms` has passed; answers `done`.
bool PumpUntil(const std::function<bool()>& done, int timeout_ms = kPatienceMs);

// How a test window answers WM_CLOSE.
struct TCloseBehaviour {
  bool Refuse = false;        // stays open
  HWND NotifyFirst = nullptr;  // sent WM_USER (and waited for) before closing
  std::atomic<int> Requests{0};
};

// A window of the test class; `behaviour` (may be null: it closes) must
// outlive it.
HWND MakeTestWindow(const std::string& title, DWORD style, DWORD ex_style = 0, HWND parent = nullptr,
                    TCloseBehaviour* behaviour = nullptr);
std::string TestWindowClassName();
// Whether windows other than message-only ones can be made here.
bool HaveDisplay();

// Destroys the window when it goes out of scope (this thread's windows).
struct TWindowDeleter {
  void operator()(HWND__* window) const {
    if (IsWindow(window)) DestroyWindow(window);
  }
};
using TOwnedWindow = std::unique_ptr<HWND__, TWindowDeleter>;

// A message-only test window made and served on a thread of its own.
class TWindowThread {
 public:
  explicit TWindowThread(TCloseBehaviour* behaviour = nullptr, const std::string& title = "");
  ~TWindowThread();
  TWindowThread(const TWindowThread&) = delete;
  TWindowThread& operator=(const TWindowThread&) = delete;

  HWND Window() const { return Window_; }

 private:
  void Serve(TCloseBehaviour* behaviour, std::string title);

  std::mutex Lock_;
  std::condition_variable Changed_;
  HWND Window_ = nullptr;
  DWORD ThreadId_ = 0;
  bool Ready_ = false;
  std::thread Thread_;
};

}  // namespace qel::test
