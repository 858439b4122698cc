// One resource fetched over HTTP into memory: a HEAD for its size, then a
// GET from a byte offset, so that a transfer broken off earlier continues
// after the bytes the caller already holds. Platform events only record
// what happened; the owner's Poll applies it, and the notifications run
// only inside Start or Poll.
#pragma once

#include <cstdint>
#include <functional>
#include <istream>
#include <memory>
#include <string>
#include <string_view>

#include "net/MemoryStream.h"
#include "net/WinHttp_TLB.h"

namespace qel {

enum TRequestState : uint8_t {
  rsNone = 0,   // not started
  rsHead = 1,   // asking for the size
  rsGet = 2,    // fetching the bytes from Offset on
  rsDone = 3,   // Data holds the whole resource
  rsError = 4,  // failed; final
};

class THttpRequest {
 public:
  using TNotifyEvent = std::function<void(THttpRequest& Sender)>;

  THttpRequest() = default;
  // Stops a running transfer; no notification is called.
  ~THttpRequest();
  THttpRequest(const THttpRequest&) = delete;
  THttpRequest& operator=(const THttpRequest&) = delete;

  // Offset: bytes the caller already holds (0 for a fresh transfer).
  void Start(std::u16string_view Url, int32_t Offset);
  void Poll();
  // Stops the running HEAD or GET; the state stays. Platform errors propagate.
  void Abort();

  TRequestState State() const { return State_; }
  int32_t Offset() const { return Offset_; }
  int32_t Received() const { return Received_; }
  int32_t ContentLength() const { return ContentLength_; }
  // The whole resource once the state is rsDone; none before the size is known.
  const TMemoryStream* Data() const { return Data_.get(); }
  // Where this GET's first byte goes (byte Offset of Data); none without Data.
  const uint8_t* NewData() const;
  // Fills the first Size bytes of Data from `Source`'s position, when Size
  // equals Offset, Data exists and Size > 0; otherwise does nothing. Raises
  // EQelError when the source holds fewer bytes.
  void LoadResumedPart(std::istream& Source, int32_t Size);

  TNotifyEvent OnFailed;
  TNotifyEvent OnComplete;

 private:
  // The one place where the state changes.
  void ChangeState(TRequestState NewState);
  void StartHead();
  void StartGet();
  void RecordState(TRequestState Pending);
  void Notify(const TNotifyEvent& Event);

  void RequestFailed(TWinHttpRequest& Sender, int32_t ErrorNumber, const std::u16string& ErrorDescription);
  void HeadFinished(TWinHttpRequest& Sender);
  void AppendData(TWinHttpRequest& Sender, int32_t aDataSize, const uint8_t* pData);
  void GetFinished(TWinHttpRequest& Sender);

  std::unique_ptr<TWinHttpRequest> HeadRequest_;
  std::unique_ptr<TWinHttpRequest> GetRequest_;
  int32_t Offset_ = 0;
  int32_t Received_ = 0;
  int32_t ContentLength_ = 0;
  std::unique_ptr<TMemoryStream> Data_;
  std::u16string Url_;
  TRequestState State_ = rsNone;
  TRequestState PendingState_ = rsNone;
};

}  // namespace qel
