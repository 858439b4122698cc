// A message-only window of the thread that creates it, through which work
// done on other threads is handed back to that thread: a posted wake-up
// runs the owner's function from the thread's message loop.
#pragma once

#include <windows.h>

namespace qel {

class TTransferWindow {
 public:
  using TWakeFunction = void (*)(void* owner);

  // Raises EHttpTransferError when the window cannot be made.
  TTransferWindow(TWakeFunction wake, void* owner);
  ~TTransferWindow();
  TTransferWindow(const TTransferWindow&) = delete;
  TTransferWindow& operator=(const TTransferWindow&) = delete;

  HWND Handle() const { return Window_; }
  // Safe from any thread while the window exists.
  static bool PostWake(HWND window);

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

  HWND Window_ = nullptr;
  TWakeFunction Wake_;
  void* Owner_;
};

}  // namespace qel
