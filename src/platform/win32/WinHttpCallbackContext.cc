#include "platform/win32/WinHttpCallbackContext.h"

#include <utility>

#include "platform/LastResort.h"
#include "platform/win32/TransferWindow.h"

namespace qel {
namespace {

constexpr DWORD kReportsWanted = WINHTTP_CALLBACK_FLAG_ALL_COMPLETIONS | WINHTTP_CALLBACK_FLAG_REDIRECT |
                                 WINHTTP_CALLBACK_FLAG_HANDLES;

}  // namespace

DWORD TWinHttpCallbackContext::Attach(HINTERNET request) {
  DWORD_PTR value = Value();
  if (!WinHttpSetOption(request, WINHTTP_OPTION_CONTEXT_VALUE, &value, sizeof value)) return GetLastError();
  CallbackShare_ = shared_from_this();
  if (WinHttpSetStatusCallback(request, &TWinHttpCallbackContext::OnStatus, kReportsWanted, 0) ==
      WINHTTP_INVALID_STATUS_CALLBACK) {
    const DWORD error = GetLastError();
    CallbackShare_.reset();
    return error;
  }
  return 0;
}

void TWinHttpCallbackContext::Detach() {
  const std::lock_guard<std::mutex> lock(Mutex_);
  Window_ = nullptr;
  Notes_.clear();
}

std::vector<TWinHttpNote> TWinHttpCallbackContext::TakeNotes() {
  const std::lock_guard<std::mutex> lock(Mutex_);
  WakePosted_ = false;
  return std::exchange(Notes_, {});
}

uint8_t* TWinHttpCallbackContext::ReadBuffer(size_t bytes) {
  if (Buffer_.size() < bytes) Buffer_.resize(bytes);
  return Buffer_.data();
}

void TWinHttpCallbackContext::Note(TWinHttpNote note) {
  const std::lock_guard<std::mutex> lock(Mutex_);
  if (Window_ == nullptr) return;
  Notes_.push_back(std::move(note));
  // One wake-up reads all notes taken so far.
  if (!WakePosted_) WakePosted_ = TTransferWindow::PostWake(Window_);
}

void CALLBACK TWinHttpCallbackContext::OnStatus(HINTERNET, DWORD_PTR context, DWORD status, LPVOID information,
                                                DWORD length) {
  auto* self = reinterpret_cast<TWinHttpCallbackContext*>(context);
  if (self == nullptr) return;
  // Nothing may unwind into WinHTTP's thread.
  try {
    switch (status) {
      case WINHTTP_CALLBACK_STATUS_HANDLE_CLOSING: {
        // The last report for the request: WinHTTP's share goes, and with it
        // perhaps the context, after which nothing here may touch it.
        std::shared_ptr<TWinHttpCallbackContext> last = std::move(self->CallbackShare_);
        return;
      }
      case WINHTTP_CALLBACK_STATUS_DATA_AVAILABLE:
        self->Note({status, *static_cast<DWORD*>(information), {}});
        break;
      case WINHTTP_CALLBACK_STATUS_READ_COMPLETE:
        self->Note({status, length, {}});
        break;
      case WINHTTP_CALLBACK_STATUS_REQUEST_ERROR:
        self->Note({status, static_cast<DWORD>(static_cast<WINHTTP_ASYNC_RESULT*>(information)->dwError), {}});
        break;
      case WINHTTP_CALLBACK_STATUS_REDIRECT: {
        const auto* location = static_cast<const wchar_t*>(information);
        self->Note({status, 0, location != nullptr ? std::wstring(location) : std::wstring()});
        break;
      }
      case WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE:
      case WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE:
        self->Note({status, 0, {}});
        break;
      default:
        break;
    }
  } catch (...) {
    ReportCurrentException();
  }
}

}  // namespace qel
