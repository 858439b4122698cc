// One HTTP request run in the background on the plug-in thread's loop. Its
// events come from the loop, never from inside a call of the caller, in the
// order: response start, data available (any number of pieces), then either
// response finished or error. Nothing follows Abort. A handler may call
// Abort or destroy the request.
//
// Redirects are followed for http and https only, at most kMostRedirects
// hops; the events and response headers are those of the final response,
// and the request headers the caller set go along with every hop. Any
// status is reported as it came; judging it is the caller's business.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/Error.h"

namespace qel {

// Error numbers: those of the Windows HTTP service for the same conditions,
// so that both builds report a failure alike.
inline constexpr int32_t kHttpErrorNotEnoughMemory = 8;
inline constexpr int32_t kHttpErrorNotSupported = 50;
inline constexpr int32_t kHttpErrorInvalidParameter = 87;
inline constexpr int32_t kHttpErrorTimeout = 12002;
inline constexpr int32_t kHttpErrorInternal = 12004;
inline constexpr int32_t kHttpErrorInvalidUrl = 12005;
inline constexpr int32_t kHttpErrorUnrecognizedScheme = 12006;
inline constexpr int32_t kHttpErrorNameNotResolved = 12007;
inline constexpr int32_t kHttpErrorOperationCancelled = 12017;
inline constexpr int32_t kHttpErrorIncorrectHandleState = 12019;
inline constexpr int32_t kHttpErrorCannotConnect = 12029;
inline constexpr int32_t kHttpErrorConnectionError = 12030;
inline constexpr int32_t kHttpErrorCannotCallBeforeOpen = 12100;
inline constexpr int32_t kHttpErrorCannotCallBeforeSend = 12101;
inline constexpr int32_t kHttpErrorCannotCallAfterSend = 12102;
inline constexpr int32_t kHttpErrorHeaderNotFound = 12150;
inline constexpr int32_t kHttpErrorInvalidServerResponse = 12152;
inline constexpr int32_t kHttpErrorRedirectFailed = 12156;
inline constexpr int32_t kHttpErrorSecureFailure = 12175;

inline constexpr int kMostRedirects = 5;
// The most body bytes one data event carries.
inline constexpr int32_t kMostBodyBytesPerEvent = 512 * 1024;

// Time limits in milliseconds, 0 meaning none; the defaults are the Windows
// HTTP service's.
struct THttpTimeouts {
  // Finding the server's address.
  int32_t ResolveMs = 0;
  // Making the connection (name resolution included when ResolveMs is 0).
  int32_t ConnectMs = 60000;
  // Handing the request to the connection.
  int32_t SendMs = 30000;
  // Silence from the server: waiting for the response, or between two
  // pieces of it.
  int32_t ReceiveMs = 30000;
};
// A failed call, with the error number beside the message text.
class EHttpTransferError : public EQelError {
 public:
  EHttpTransferError(int32_t number, const std::string& message)
      : EQelError(message), ErrorNumber_(number) {}
  int32_t ErrorNumber() const { return ErrorNumber_; }

 private:
  int32_t ErrorNumber_;
};

class IHttpTransferEvents {
 public:
  virtual void ResponseStart(int32_t status, const std::u16string& content_type) = 0;
  // `data` is valid only during the call.
  virtual void ResponseDataAvailable(const uint8_t* data, int32_t size) = 0;
  virtual void ResponseFinished() = 0;
  virtual void Error(int32_t number, const std::u16string& description) = 0;

 protected:
  ~IHttpTransferEvents() = default;
};

class THttpTransfer {
 public:
  // Binds the request to the plug-in thread's loop; create and use it on
  // that thread. Raises EHttpTransferError when the facility cannot be set up.
  THttpTransfer();
  ~THttpTransfer();
  THttpTransfer(const THttpTransfer&) = delete;
  THttpTransfer& operator=(const THttpTransfer&) = delete;

  // Events go to `sink` (nullptr: dropped); the sink outlives the connection.
  void Connect(IHttpTransferEvents* sink);

  // Every call below raises EHttpTransferError on failure, leaving the
  // request as it was.
  // Only asynchronous requests exist here; `asynchronous` false is refused.
  // Opening again ends a running request first, without events.
  void Open(std::u16string_view method, std::u16string_view url, bool asynchronous);
  void SetRequestHeader(std::u16string_view name, std::u16string_view value);
  // Between Open and Send; a negative limit is refused. The limits stay with
  // the object for later requests. A limit passed ends the request with the
  // Error event kHttpErrorTimeout.
  void SetTimeouts(int32_t resolve_ms, int32_t connect_ms, int32_t send_ms, int32_t receive_ms);
  // A header of the response, once its start has been reported.
  std::u16string GetResponseHeader(std::u16string_view name) const;
  void Send();
  void Abort();
  // While held, no data event comes and the connection is not read: the
  // rest of the body waits with the server (whose silence is then not held
  // against it), so that a receiver slower than the network keeps its own
  // buffers bounded without ever blocking the loop. Released, the body
  // flows on. Never raises.
  void HoldBody(bool held);

 private:
  struct TState;
  std::unique_ptr<TState> State_;
};

}  // namespace qel
