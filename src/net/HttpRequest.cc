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

std::u16string RangeFrom(int32_t offset) {
  const std::string text = "bytes=" + std::to_string(offset) + "-";
  return std::u16string(text.begin(), text.end());
}

}  // namespace

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

void THttpRequest::LoadResumedPart(std::istream& Source, int32_t Size) {
  if (Size != Offset_ || !Data_ || Size <= 0 || Size > Data_->Size()) return;
  Source.read(reinterpret_cast<char*>(Data_->Memory()), Size);
  if (Source.gcount() != Size) throw EQelError("the part held from an earlier transfer could not be read");
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
  // A recorded failure is not overwritten by a later event.
  if (PendingState_ != rsError) PendingState_ = Pending;
}

void THttpRequest::StartHead() {
  try {
    HeadRequest_ = std::make_unique<TWinHttpRequest>();
    HeadRequest_->OnError = [this](TWinHttpRequest& sender, int32_t number, const std::u16string& text) {
      RequestFailed(sender, number, text);
    };
    HeadRequest_->OnResponseFinished = [this](TWinHttpRequest& sender) { HeadFinished(sender); };
    HeadRequest_->Open(u"HEAD", Url_, true);
    HeadRequest_->Send();
  } catch (const std::exception&) {
    ChangeState(rsError);
  }
}

void THttpRequest::StartGet() {
  Received_ = 0;
  try {
    GetRequest_ = std::make_unique<TWinHttpRequest>();
    GetRequest_->OnError = [this](TWinHttpRequest& sender, int32_t number, const std::u16string& text) {
      RequestFailed(sender, number, text);
    };
    GetRequest_->OnResponseDataAvailable = [this](TWinHttpRequest& sender, int32_t size, const uint8_t* data) {
      AppendData(sender, size, data);
    };
    GetRequest_->OnResponseFinished = [this](TWinHttpRequest& sender) { GetFinished(sender); };
    GetRequest_->Open(u"GET", Url_, true);
    if (Offset_ > 0) GetRequest_->SetRequestHeader(u"RANGE", RangeFrom(Offset_));
    GetRequest_->Send();
  } catch (const std::exception&) {
    ChangeState(rsError);
  }
}

void THttpRequest::RequestFailed(TWinHttpRequest&, int32_t, const std::u16string&) { RecordState(rsError); }

void THttpRequest::HeadFinished(TWinHttpRequest& Sender) {
  try {
    const std::optional<int32_t> length = ParseLength(Sender.GetResponseHeader(u"Content-Length"));
    if (!length) throw EQelError("the size of the resource is not a number");
    ContentLength_ = *length;
    if (!Data_) {
      auto data = std::make_unique<TMemoryStream>();
      // Allocated once at the full size, so that the pieces never move it.
      data->SetSize(ContentLength_);
      data->Seek(Offset_);
      Data_ = std::move(data);
    }
    RecordState(rsGet);
  } catch (const std::exception&) {
    RecordState(rsError);
  }
}

void THttpRequest::AppendData(TWinHttpRequest& Sender, int32_t aDataSize, const uint8_t* pData) {
  if (!Data_ || State_ != rsGet || PendingState_ == rsError || aDataSize <= 0) return;
  // More than the HEAD announced: stopped at once, before the buffer grows.
  if (int64_t{Data_->Position()} + aDataSize > ContentLength_) {
    RecordState(rsError);
    try {
      Sender.Abort();
    } catch (const std::exception&) {
      // The failure is recorded; a request that will not stop is dropped with its owner.
    }
    return;
  }
  Data_->Write(pData, aDataSize);
  Received_ += aDataSize;
}

void THttpRequest::GetFinished(TWinHttpRequest&) {
  RecordState(Data_ && Data_->Position() == ContentLength_ ? rsDone : rsError);
}

}  // namespace qel
