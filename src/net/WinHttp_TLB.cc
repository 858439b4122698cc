#include "net/WinHttp_TLB.h"

namespace qel {

// Each handler is copied before it is called: it may destroy its wrapper.

void TWinHttpEvents::ResponseStart(int32_t status, const std::u16string& content_type) {
  Owner_->HttpStatus_ = hsStart;
  if (const auto handler = Owner_->OnResponseStart) handler(*Owner_, status, content_type);
}

void TWinHttpEvents::ResponseDataAvailable(const uint8_t* data, int32_t size) {
  if (const auto handler = Owner_->OnResponseDataAvailable) handler(*Owner_, size, data);
}

void TWinHttpEvents::ResponseFinished() {
  Owner_->HttpStatus_ = hsEnd;
  if (const auto handler = Owner_->OnResponseFinished) handler(*Owner_);
}

void TWinHttpEvents::Error(int32_t number, const std::u16string& description) {
  Owner_->HttpStatus_ = hsError;
  if (const auto handler = Owner_->OnError) handler(*Owner_, number, description);
}

TWinHttpRequest::TWinHttpRequest() : Events_(std::make_unique<TWinHttpEvents>(this)) {}

TWinHttpRequest::~TWinHttpRequest() {
  if (Intf_) Intf_->Connect(nullptr);
  Intf_.reset();
  Events_.reset();
}

THttpTransfer& TWinHttpRequest::DefaultInterface() {
  if (!Intf_) {
    auto created = std::make_unique<THttpTransfer>();
    created->Connect(Events_.get());
    Intf_ = std::move(created);
  }
  return *Intf_;
}

void TWinHttpRequest::Open(std::u16string_view Method, std::u16string_view Url, bool Async) {
  DefaultInterface().Open(Method, Url, Async);
}

void TWinHttpRequest::SetRequestHeader(std::u16string_view Header, std::u16string_view Value) {
  DefaultInterface().SetRequestHeader(Header, Value);
}

void TWinHttpRequest::SetTimeouts(int32_t ResolveTimeout, int32_t ConnectTimeout, int32_t SendTimeout,
                                  int32_t ReceiveTimeout) {
  DefaultInterface().SetTimeouts(ResolveTimeout, ConnectTimeout, SendTimeout, ReceiveTimeout);
}

void TWinHttpRequest::HoldBody(bool Held) { DefaultInterface().HoldBody(Held); }

std::u16string TWinHttpRequest::GetResponseHeader(std::u16string_view Header) {
  return DefaultInterface().GetResponseHeader(Header);
}

void TWinHttpRequest::Send() { DefaultInterface().Send(); }

void TWinHttpRequest::Abort() { DefaultInterface().Abort(); }

}  // namespace qel
