#include "net/HttpRequest.h"

#include <exception>
#include <limits>
#include <optional>
#include <thread>

#include "platform/Error.h"

namespace qel {
namespace {

// "Content-Length" as a size: decimal digits only, below 2 GiB.
std::optional<int32_t> ParseLength(std::u16string_view text) {
  if (text.empty()) return std::nullopt;
  int64_t value = 0;
  for (char16_t c : text) {
    if (c < u'0' || c > u'9') return std::nullopt;
    value = value * 10 + (c - u'0');
    if (value > std::numeric_limits<int32_t>::max()) return std::nullopt;
  }
  return static_cast<int32_t>(value);
}

std::u16string Wide(std::string_view text) { return std::u16string(text.begin(), text.end()); }

// Header values are Latin-1; anything else would not survive a round trip.
std::string Narrow(std::u16string_view text) {
  std::string narrow;
  for (char16_t c : text) {
    if (c > 0xFF) return {};
    narrow.push_back(static_cast<char>(c));
  }
  return narrow;
}

std::u16string RangeFrom(int32_t offset) { return Wide("bytes=" + std::to_string(offset) + "-"); }

bool IsSuccess(int32_t status) { return status >= 200 && status <= 299; }

// What "If-Range" may carry: a strong entity tag, else the date.
std::string ValidatorOf(TWinHttpRequest& reply) {
  const auto header = [&reply](std::u16string_view name) {
    try {
      return Narrow(reply.GetResponseHeader(name));
    } catch (const EHttpTransferError&) {
      return std::string();
    }
  };
  const std::string tag = header(u"ETag");
  if (!tag.empty() && tag.rfind("W/", 0) != 0) return tag;
  return header(u"Last-Modified");
}

// How often a held body's sink is asked for room.
constexpr unsigned kRoomWatchMs = 1;

}  // namespace

THttpRequest::THttpRequest() {
  RoomWatch_.SetHandler(this, &THttpRequest::WatchRoom);
  RoomWatch_.SetInterval(kRoomWatchMs);
}

THttpRequest::~THttpRequest() {
  try {
    Abort();
  } catch (const std::exception&) {
    // Going away regardless; the platform request is destroyed below.
  }
  // Lets a platform that runs transfers on threads of its own see the abort.
  std::this_thread::yield();
  Data_.reset();
  HeadRequest_.reset();
  GetRequest_.reset();
}

void THttpRequest::Start(std::u16string_view Url, int32_t Offset) {
  Url_ = Url;
  Offset_ = Offset;
  // A negative offset names no byte; NewData would point before Data.
  if (Offset < 0) RecordFailure("a negative offset");
  ChangeState(Offset < 0 ? rsError : rsHead);
}

void THttpRequest::Poll() {
  if (PendingState_ == State_ || PendingState_ == rsNone) return;
  const TRequestState next = PendingState_;
  PendingState_ = rsNone;
  ChangeState(next);
}

void THttpRequest::Abort() {
  if (State_ == rsHead && HeadRequest_) HeadRequest_->Abort();
  if (State_ == rsGet && GetRequest_) GetRequest_->Abort();
}

const uint8_t* THttpRequest::NewData() const {
  if (!Data_ || Offset_ > Data_->Size()) return nullptr;
  return Data_->Memory() + Offset_;
}

void THttpRequest::ChangeState(TRequestState NewState) {
  if (NewState == State_ || State_ == rsError) return;
  State_ = NewState;
  switch (NewState) {
    case rsHead:
      StartHead();
      break;
    case rsGet:
      StartGet();
      break;
    case rsDone:
      Notify(OnComplete);
      break;
    case rsError:
      Notify(OnFailed);
      break;
    case rsNone:
      break;
  }
}

void THttpRequest::Notify(const TNotifyEvent& Event) {
  // A copy: the handler may replace the notification.
  if (const TNotifyEvent handler = Event) handler(*this);
}

void THttpRequest::RecordState(TRequestState Pending) {
  // A recorded failure is final: a later event (the end of the body after
  // a refused piece) does not overwrite it.
  if (PendingState_ != rsError) PendingState_ = Pending;
}

void THttpRequest::RecordFailure(const std::string& Text) {
  if (FailureText_.empty()) FailureText_ = Text;
  RecordState(rsError);
}

std::unique_ptr<TWinHttpRequest> THttpRequest::NewPlatformRequest(std::u16string_view Method) {
  auto request = std::make_unique<TWinHttpRequest>();
  request->OnError = [this](TWinHttpRequest& sender, int32_t number, const std::u16string& text) {
    RequestFailed(sender, number, text);
  };
  request->Open(Method, Url_, true);
  request->SetTimeouts(0, TimeoutMs, TimeoutMs, TimeoutMs);
  if (OnPlatformRequestForTesting) OnPlatformRequestForTesting(*request);
  return request;
}

void THttpRequest::StartHead() {
  try {
    HeadRequest_ = NewPlatformRequest(u"HEAD");
    HeadRequest_->OnResponseStart = [this](TWinHttpRequest&, int32_t status, const std::u16string&) {
      HeadStatus_ = status;
    };
    HeadRequest_->OnResponseFinished = [this](TWinHttpRequest& sender) { HeadFinished(sender); };
    HeadRequest_->Send();
  } catch (const std::exception& failure) {
    RecordFailure(failure.what());
    ChangeState(rsError);
  }
}

void THttpRequest::StartGet() {
  Received_ = 0;
  try {
    GetRequest_ = NewPlatformRequest(u"GET");
    GetRequest_->OnResponseStart = [this](TWinHttpRequest& sender, int32_t status, const std::u16string&) {
      GetStarted(sender, status);
    };
    GetRequest_->OnResponseDataAvailable = [this](TWinHttpRequest& sender, int32_t size, const uint8_t* data) {
      AppendData(sender, size, data);
    };
    GetRequest_->OnResponseFinished = [this](TWinHttpRequest& sender) { GetFinished(sender); };
    if (Offset_ > 0) {
      GetRequest_->SetRequestHeader(u"RANGE", RangeFrom(Offset_));
      if (!Validator_.empty()) GetRequest_->SetRequestHeader(u"If-Range", Wide(Validator_));
    }
    GetRequest_->Send();
  } catch (const std::exception& failure) {
    RecordFailure(failure.what());
    ChangeState(rsError);
  }
}

void THttpRequest::RequestFailed(TWinHttpRequest&, int32_t ErrorNumber, const std::u16string& ErrorDescription) {
  RecordFailure(Narrow(ErrorDescription) + " (" + std::to_string(ErrorNumber) + ")");
}

bool THttpRequest::StartBody() {
  if (Body_ != nullptr) return Body_->BodyStarts(Offset_, ContentLength_);
  if (!Data_) {
    auto data = std::make_unique<TMemoryStream>();
    // Allocated once at the full size, so that the pieces never move it.
    data->SetSize(ContentLength_);
    Data_ = std::move(data);
  }
  Data_->Seek(Offset_);
  return true;
}

void THttpRequest::HeadFinished(TWinHttpRequest& Sender) {
  try {
    if (!IsSuccess(HeadStatus_)) return RecordFailure("the server answered " + std::to_string(HeadStatus_));
    const std::optional<int32_t> length = ParseLength(Sender.GetResponseHeader(u"Content-Length"));
    if (!length) return RecordFailure("the size of the resource is not a number");
    ContentLength_ = *length;
    Validator_ = ValidatorOf(Sender);
    // Held bytes of another version of the resource, or more of them than
    // it has, are worth nothing.
    const bool changed = !ResumeValidator.empty() && ResumeValidator != Validator_;
    if (Offset_ > 0 && (changed || Offset_ > ContentLength_)) Offset_ = 0;
    if (Offset_ > 0 && Offset_ == ContentLength_) {
      // Every byte is held already: no GET.
      if (!StartBody()) return RecordFailure("the body could not be stored");
      return RecordState(rsDone);
    }
    if (Body_ == nullptr) StartBody();
    RecordState(rsGet);
  } catch (const std::exception& failure) {
    RecordFailure(failure.what());
  }
}

void THttpRequest::GetStarted(TWinHttpRequest& Sender, int32_t Status) {
  if (State_ != rsGet || PendingState_ == rsError) return;
  try {
    // A whole answer to a ranged GET: the resource changed since the held
    // bytes came (or the server cannot do ranges), so it starts again at 0.
    if (Offset_ > 0 && Status == 200) Offset_ = 0;
    const bool fits = Offset_ > 0 ? Status == 206 : IsSuccess(Status) && Status != 206;
    if (!fits) {
      RecordFailure("the server answered " + std::to_string(Status));
    } else if (!StartBody()) {
      RecordFailure("the body could not be stored");
    } else {
      HoldWhileFull(Sender);
      return;
    }
  } catch (const std::exception& failure) {
    RecordFailure(failure.what());
  }
  try {
    Sender.Abort();
  } catch (const std::exception&) {
    // The failure is recorded; a request that will not stop is dropped with its owner.
  }
}

void THttpRequest::AppendData(TWinHttpRequest& Sender, int32_t aDataSize, const uint8_t* pData) {
  if (State_ != rsGet || PendingState_ == rsError || aDataSize <= 0) return;
  if (Body_ == nullptr && !Data_) return;
  // More than the HEAD announced: stopped at once, before the buffer grows.
  const bool overrun = int64_t{Offset_} + Received_ + aDataSize > ContentLength_;
  bool stored = !overrun;
  try {
    if (stored && Body_ != nullptr) stored = Body_->BodyData(pData, aDataSize);
    if (stored && Body_ == nullptr) Data_->Write(pData, aDataSize);
  } catch (const std::exception&) {
    stored = false;
  }
  if (stored) {
    Received_ += aDataSize;
    HoldWhileFull(Sender);
    return;
  }
  RecordFailure(overrun ? "the server sent more than it announced" : "the body could not be stored");
  try {
    Sender.Abort();
  } catch (const std::exception&) {
    // The failure is recorded; a request that will not stop is dropped with its owner.
  }
}

void THttpRequest::HoldWhileFull(TWinHttpRequest& Sender) {
  if (Body_ == nullptr || Body_->BodyRoom() >= kMostBodyBytesPerEvent) return;
  Sender.HoldBody(true);
  RoomWatch_.SetEnabled(true);
}

void THttpRequest::WatchRoom() {
  if (State_ != rsGet || PendingState_ != rsNone || !GetRequest_) {
    RoomWatch_.SetEnabled(false);
  } else if (Body_->BodyRoom() >= kMostBodyBytesPerEvent) {
    RoomWatch_.SetEnabled(false);
    GetRequest_->HoldBody(false);
  }
}

void THttpRequest::GetFinished(TWinHttpRequest&) {
  if (int64_t{Offset_} + Received_ == ContentLength_) return RecordState(rsDone);
  RecordFailure("the body ended after " + std::to_string(int64_t{Offset_} + Received_) + " of " +
                std::to_string(ContentLength_) + " bytes");
}

}  // namespace qel
