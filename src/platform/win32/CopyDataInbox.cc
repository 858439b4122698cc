#include "platform/win32/CopyDataInbox.h"

#include <commctrl.h>

#include <limits>
#include <set>

#include "platform/LastResort.h"
#include "platform/win32/WindowHandles.h"

namespace qel {
namespace {

constexpr UINT_PTR kSubclassId = 0x51454C43;  // "QELC"

// Messages of the inbox's own, unique in the session: the window's class
// may use any fixed number for something else.
UINT WakeMessage() {
  static const UINT message = RegisterWindowMessageA("QelCopyDataWake");
  return message;
}
UINT DetachMessage() {
  static const UINT message = RegisterWindowMessageA("QelCopyDataDetach");
  return message;
}

// The windows that have an inbox in this process.
class TTakenWindows {
 public:
  bool Take(HWND window) {
    const std::lock_guard<std::mutex> hold(Lock_);
    return Windows_.insert(window).second;
  }
  void Release(HWND window) {
    const std::lock_guard<std::mutex> hold(Lock_);
    Windows_.erase(window);
  }

 private:
  std::mutex Lock_;
  std::set<HWND> Windows_;
};

TTakenWindows& TakenWindows() {
  static TTakenWindows taken;
  return taken;
}

}  // namespace

TCopyDataInbox::TCopyDataInbox(TWindowHandle window, TCopyDataInboxOwner* owner)
    : Window_(AsHwnd(window)), Owner_(owner) {
  if (window == 0) throw EQelError("No window to receive copy-data messages for");
  if (!IsWindowOfThisThread(Window_))
    throw EQelError("Copy-data messages are received only for a window of the receiving thread");
  if (WakeMessage() == 0 || DetachMessage() == 0) throw EQelError("Cannot register the copy-data messages");
  if (!TakenWindows().Take(Window_)) throw EWindowTaken("The window already receives copy-data messages");
  Waiting_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (Waiting_ == nullptr ||
      !SetWindowSubclass(Window_, &SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this))) {
    if (Waiting_ != nullptr) CloseHandle(Waiting_);
    TakenWindows().Release(Window_);
    throw EQelError("Cannot receive copy-data messages for the window");
  }
  Subclassed_ = true;
}

TCopyDataInbox::~TCopyDataInbox() {
  if (Subclassed_) {
    // Only the window's thread can take the subclass off; from any other,
    // that thread is asked to.
    if (IsWindowOfThisThread(Window_))
      Detach();
    else
      SendMessageA(Window_, DetachMessage(), 0, reinterpret_cast<LPARAM>(this));
  }
  TakenWindows().Release(Window_);
  CloseHandle(Waiting_);
}

void TCopyDataInbox::Detach() {
  RemoveWindowSubclass(Window_, &SubclassProc, kSubclassId);
  Subclassed_ = false;
}

bool TCopyDataInbox::TakeOne(TCopyDataBlock& block) {
  const std::lock_guard<std::mutex> hold(Lock_);
  if (Queue_.empty()) return false;
  block = std::move(Queue_.front());
  Queue_.pop_front();
  if (Queue_.empty()) ResetEvent(Waiting_);
  return true;
}

bool TCopyDataInbox::Empty() const {
  const std::lock_guard<std::mutex> hold(Lock_);
  return Queue_.empty();
}

bool TCopyDataInbox::PostWake() { return PostMessageA(Window_, WakeMessage(), 0, 0) != FALSE; }

bool TCopyDataInbox::Accept(WPARAM sender, const COPYDATASTRUCT* data) {
  // Whole and well-formed only: a 32-bit tag, a size within bounds and the
  // bytes to go with it.
  if (data == nullptr || data->dwData > std::numeric_limits<uint32_t>::max()) return false;
  if (data->cbData > kLargestCopyData || (data->cbData != 0 && data->lpData == nullptr)) return false;
  TCopyDataBlock block;
  block.Sender = static_cast<TWindowHandle>(sender);
  block.Tag = static_cast<uint32_t>(data->dwData);
  const auto* bytes = static_cast<const uint8_t*>(data->lpData);
  block.Bytes.assign(bytes, bytes + data->cbData);
  {
    const std::lock_guard<std::mutex> hold(Lock_);
    Queue_.push_back(std::move(block));
    SetEvent(Waiting_);
  }
  if (Owner_ != nullptr) Owner_->BlockQueued();
  return true;
}

LRESULT CALLBACK TCopyDataInbox::SubclassProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR,
                                              DWORD_PTR self) {
  auto* inbox = reinterpret_cast<TCopyDataInbox*>(self);
  try {
    if (message == WM_COPYDATA)
      return inbox->Accept(wparam, reinterpret_cast<const COPYDATASTRUCT*>(lparam)) ? TRUE : FALSE;
    if (message == WakeMessage()) {
      // The owner may destroy the inbox: nothing of it is touched after.
      if (inbox->Owner_ != nullptr) inbox->Owner_->Woken();
      return 0;
    }
    if (message == DetachMessage() && lparam == reinterpret_cast<LPARAM>(inbox)) {
      inbox->Detach();
      return 0;
    }
    if (message == WM_NCDESTROY) inbox->Detach();  // the window goes before its inbox
  } catch (...) {
    ReportCurrentException();
    if (message == WM_COPYDATA) return FALSE;  // not taken (out of memory)
  }
  return DefSubclassProc(window, message, wparam, lparam);
}

}  // namespace qel
