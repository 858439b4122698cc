// One resource fetched over HTTP: a HEAD for its size and validator, then a
// GET from a byte offset, so that a transfer broken off earlier continues
// after the bytes the caller already holds. The body goes into memory of
// the request's own, or, when a body sink is set, to the sink piece by
// piece. Platform events only record what happened; the owner's Poll
// applies it, and the notifications run only inside Start or Poll.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "net/MemoryStream.h"
#include "net/WinHttp_TLB.h"
#include "platform/Timer.h"

namespace qel {

enum TRequestState : uint8_t {
  rsNone = 0,   // not started
  rsHead = 1,   // asking for the size
  rsGet = 2,    // fetching the bytes from Offset on
  rsDone = 3,   // the whole resource is held
  rsError = 4,  // failed; final
};

// Where a GET's body goes instead of the request's memory. Called from the
// platform's events on the owner's thread; answering false fails the request.
class IRequestBody {
 public:
  // The body's bytes start at byte `Offset` of a resource of `ContentLength`
  // bytes. Called once per request before any byte, also when no byte
  // follows because the caller already holds them all.
  virtual bool BodyStarts(int32_t Offset, int32_t ContentLength) = 0;
  // The next `Size` bytes; `Data` is valid only during the call.
  virtual bool BodyData(const uint8_t* Data, int32_t Size) = 0;
  // Bytes the sink would take now without waiting. While that is less than
  // one data event may carry, the request holds the body back (the server
  // keeps the rest) and asks again every millisecond, so that a sink slower
  // than the network never makes the owner's thread wait.
  virtual int64_t BodyRoom() const = 0;

 protected:
  ~IRequestBody() = default;
};

// How long a connection, or a wait for any byte, may take before the
// request fails with kHttpErrorTimeout.
inline constexpr int32_t kHttpStallTimeoutMs = 30000;

class THttpRequest {
 public:
  using TNotifyEvent = std::function<void(THttpRequest& Sender)>;

  THttpRequest();
  // Stops a running transfer; no notification is called.
  ~THttpRequest();
  THttpRequest(const THttpRequest&) = delete;
  THttpRequest& operator=(const THttpRequest&) = delete;

  // Offset: bytes the caller already holds (0 for a fresh transfer). The
  // request may start again from 0 instead (see ResumeValidator).
  void Start(std::u16string_view Url, int32_t Offset);
  void Poll();
  // Stops the running HEAD or GET; the state stays. Platform errors propagate.
  void Abort();

  // Before Start: the body goes to `Body` (not owned; it outlives the
  // transfer) and Data stays empty.
  void SetBody(IRequestBody* Body) { Body_ = Body; }

  TRequestState State() const { return State_; }
  int32_t Offset() const { return Offset_; }
  int32_t Received() const { return Received_; }
  int32_t ContentLength() const { return ContentLength_; }
  // The HEAD's validator of the resource: its strong ETag, else its
  // Last-Modified date; empty when the server gives neither.
  const std::string& Validator() const { return Validator_; }
  // Why the request failed, for people; empty unless the state is rsError.
  const std::string& FailureText() const { return FailureText_; }
  // Without a body sink: the whole resource once the state is rsDone (bytes
  // before Offset are the caller's); none before the size is known.
  const TMemoryStream* Data() const { return Data_.get(); }
  // Where this GET's first byte goes (byte Offset of Data); none without Data.
  const uint8_t* NewData() const;

  // The validator the held bytes came with. A resumed transfer continues
  // only while the resource still has it (checked against the HEAD, and by
  // the server through "If-Range"); otherwise, or when the held bytes are
  // not fewer than the resource's, it starts again from 0. Empty: the held
  // bytes are taken as they are.
  std::string ResumeValidator;
  // Test seams: the stall limit, and each platform request once it is set up.
  int32_t TimeoutMs = kHttpStallTimeoutMs;
  std::function<void(TWinHttpRequest& Request)> OnPlatformRequestForTesting;

  TNotifyEvent OnFailed;
  TNotifyEvent OnComplete;

 private:
  // The one place where the state changes.
  void ChangeState(TRequestState NewState);
  void StartHead();
  void StartGet();
  // A platform request with the handlers every request has.
  std::unique_ptr<TWinHttpRequest> NewPlatformRequest(std::u16string_view Method);
  void RecordState(TRequestState Pending);
  // Records the failure (the first one's text is kept).
  void RecordFailure(const std::string& Text);
  void Notify(const TNotifyEvent& Event);
  // The GET's bytes start at Offset_ from here on.
  bool StartBody();

  void RequestFailed(TWinHttpRequest& Sender, int32_t ErrorNumber, const std::u16string& ErrorDescription);
  void HeadFinished(TWinHttpRequest& Sender);
  void GetStarted(TWinHttpRequest& Sender, int32_t Status);
  void AppendData(TWinHttpRequest& Sender, int32_t aDataSize, const uint8_t* pData);
  void GetFinished(TWinHttpRequest& Sender);
  // Holds the body back while the sink lacks room for the next data event;
  // WatchRoom releases it once the sink has room again.
  void HoldWhileFull(TWinHttpRequest& Sender);
  void WatchRoom();

  std::unique_ptr<TWinHttpRequest> HeadRequest_;
  std::unique_ptr<TWinHttpRequest> GetRequest_;
  int32_t Offset_ = 0;
  int32_t Received_ = 0;
  int32_t ContentLength_ = 0;
  int32_t HeadStatus_ = 0;
  std::unique_ptr<TMemoryStream> Data_;
  IRequestBody* Body_ = nullptr;
  std::u16string Url_;
  std::string Validator_;
  std::string FailureText_;
  TRequestState State_ = rsNone;
  TRequestState PendingState_ = rsNone;
  // Runs while the body is held for want of room in the sink.
  TTimer RoomWatch_;
};

}  // namespace qel
