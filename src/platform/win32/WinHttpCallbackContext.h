// What WinHTTP's threads share with the plug-in thread for one request.
// WinHTTP reports on threads of its own; its callback only writes down what
// happened and wakes the plug-in thread's window, which reads the notes and
// acts on them. WinHTTP may call back until it reports the request handle
// closing, and may write into the read buffer until then, so the callback
// holds a share of this context till that report: the transfer can drop
// its own share at any time.
#pragma once

#include <windows.h>
#include <winhttp.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace qel {

struct TWinHttpNote {
  DWORD Status = 0;  // WINHTTP_CALLBACK_STATUS_...
  // Bytes for the data notes; the error number for a failed call.
  DWORD Value = 0;
  // The new address of a redirect.
  std::wstring Location;
};

class TWinHttpCallbackContext : public std::enable_shared_from_this<TWinHttpCallbackContext> {
 public:
  explicit TWinHttpCallbackContext(HWND window) : Window_(window) {}

  // Routes the request's reports here until its handle closes. Answers the
  // error number, 0 on success.
  DWORD Attach(HINTERNET request);
  // From now on nothing is noted or posted.
  void Detach();
  std::vector<TWinHttpNote> TakeNotes();
  // Where reads go; touch it only while no read is pending.
  uint8_t* ReadBuffer(size_t bytes);
  // The value handed to calls that take a context.
  DWORD_PTR Value() { return reinterpret_cast<DWORD_PTR>(this); }

 private:
  static void CALLBACK OnStatus(HINTERNET handle, DWORD_PTR context, DWORD status, LPVOID information,
                                DWORD length);
  void Note(TWinHttpNote note);

  std::mutex Mutex_;
  HWND Window_;
  std::vector<TWinHttpNote> Notes_;
  bool WakePosted_ = false;
  std::vector<uint8_t> Buffer_;
  // WinHTTP's share, given back when the request handle closes.
  std::shared_ptr<TWinHttpCallbackContext> CallbackShare_;
};

}  // namespace qel
