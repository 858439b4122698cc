// Copy-data blocks on real WM_COPYDATA messages: no loop of its own here,
// the game-side channel library is built from this file too.
#include "platform/CopyDataEndpoint.h"

#include <windows.h>

#include "platform/win32/CopyDataInbox.h"
#include "platform/win32/SentMessageWait.h"
#include "platform/win32/WindowHandles.h"

namespace qel {
namespace {

uint32_t ReadWindowOwner(HWND window) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  return process;
}

}  // namespace

// Blocks wait in the inbox until taken; nobody is told of them but the event.
struct TCopyDataEndpoint::TState {
  explicit TState(TWindowHandle window) : Inbox(window, nullptr) {}
  TCopyDataInbox Inbox;
};

TCopyDataSent SendCopyDataTo(TWindowHandle target, TWindowHandle sender, uint32_t tag,
                             std::span<const uint8_t> block, int timeout_ms) {
  if (target == 0) return TCopyDataSent::NoReceiver;
  if (block.size() > kLargestCopyData) return TCopyDataSent::TooLarge;
  HWND window = AsHwnd(target);
  if (!IsWindow(window)) return TCopyDataSent::NoReceiver;
  COPYDATASTRUCT data{};
  data.dwData = tag;
  data.cbData = static_cast<DWORD>(block.size());
  data.lpData = const_cast<uint8_t*>(block.data());
  if (ReadWindowOwner(window) == GetCurrentProcessId()) {
    // Between threads of one process the system hands the receiver this
    // memory itself, not a copy: a send given up early would leave it
    // reading freed memory, so it waits for the answer.
    const LRESULT taken =
        SendMessageA(window, WM_COPYDATA, static_cast<WPARAM>(sender), reinterpret_cast<LPARAM>(&data));
    return taken == TRUE ? TCopyDataSent::Taken : TCopyDataSent::NoReceiver;
  }
  // While this thread waits it still handles what other threads send it, so
  // that two windows sending to each other cannot block for good.
  DWORD_PTR answer = FALSE;
  SetLastError(ERROR_SUCCESS);
  const LRESULT sent =
      SendMessageTimeoutA(window, WM_COPYDATA, static_cast<WPARAM>(sender), reinterpret_cast<LPARAM>(&data),
                          SMTO_NORMAL | SMTO_ABORTIFHUNG, static_cast<UINT>(timeout_ms > 0 ? timeout_ms : 0),
                          &answer);
  if (sent == 0) {
    const DWORD error = GetLastError();
    if (error == ERROR_INVALID_WINDOW_HANDLE || !IsWindow(window)) return TCopyDataSent::NoReceiver;
    if (error == ERROR_TIMEOUT || error == ERROR_SUCCESS) return TCopyDataSent::TimedOut;
    return TCopyDataSent::Failed;
  }
  // A window without a listener answers as DefWindowProc does: FALSE.
  return answer == TRUE ? TCopyDataSent::Taken : TCopyDataSent::NoReceiver;
}

TCopyDataEndpoint::TCopyDataEndpoint(TWindowHandle window)
    : Window_(window), State_(std::make_unique<TState>(window)) {}

TCopyDataEndpoint::~TCopyDataEndpoint() = default;

int TCopyDataEndpoint::WaitHandle() const {
  // Handle values have 32 significant bits, for 32- and 64-bit processes alike.
  return static_cast<int>(reinterpret_cast<intptr_t>(State_->Inbox.WaitHandle()));
}

TCopyDataReceipt TCopyDataEndpoint::ReceiveOne(TCopyDataBlock& received) {
  received = {};
  // Malformed blocks are refused while they are sent, so none is dropped here.
  return State_->Inbox.TakeOne(received) ? TCopyDataReceipt::Block : TCopyDataReceipt::Nothing;
}

bool TCopyDataEndpoint::WaitForDatagram(int timeout_ms) {
  // The blocks come as sent messages: the wait has to take them.
  TCopyDataInbox& inbox = State_->Inbox;
  return WaitTakingSentMessages(inbox.WaitHandle(), timeout_ms, [&inbox] { return !inbox.Empty(); });
}

}  // namespace qel
