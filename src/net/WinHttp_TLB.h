// The binding to the platform's HTTP request object: one request whose
// operations are forwarded unchanged and whose events reach the four event
// properties on the plug-in thread. Kept apart so that it can be replaced.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/HttpTransfer.h"

namespace qel {

enum TWinHttpStatus : uint8_t {
  hsNone = 0,
  hsStart = 1,
  hsDownlowding = 2,
  hsEnd = 3,
  hsError = 4,
};

class TWinHttpRequest;

using TWinHttpRequestOnResponseStart =
    std::function<void(TWinHttpRequest& Sender, int32_t Status, const std::u16string& ContentType)>;
using TWinHttpRequestOnResponseDataAvailable =
    std::function<void(TWinHttpRequest& Sender, int32_t aDataSize, const uint8_t* pData)>;
using TWinHttpRequestOnResponseFinished = std::function<void(TWinHttpRequest& Sender)>;
using TWinHttpRequestOnError = std::function<void(TWinHttpRequest& Sender, int32_t ErrorNumber,
                                                  const std::u16string& ErrorDescription)>;

// Receives the platform object's events for one wrapper: writes the
// wrapper's status, then calls its handler, if set.
class TWinHttpEvents final : public IHttpTransferEvents {
 public:
  explicit TWinHttpEvents(TWinHttpRequest* owner) : Owner_(owner) {}

  void ResponseStart(int32_t status, const std::u16string& content_type) override;
  void ResponseDataAvailable(const uint8_t* data, int32_t size) override;
  void ResponseFinished() override;
  void Error(int32_t number, const std::u16string& description) override;

 private:
  TWinHttpRequest* Owner_;
};

// Every operation raises EHttpTransferError, carrying the platform's error
// number, when the platform fails it.
class TWinHttpRequest {
 public:
  TWinHttpRequest();
  ~TWinHttpRequest();
  TWinHttpRequest(const TWinHttpRequest&) = delete;
  TWinHttpRequest& operator=(const TWinHttpRequest&) = delete;

  void Open(std::u16string_view Method, std::u16string_view Url, bool Async);
  void SetRequestHeader(std::u16string_view Header, std::u16string_view Value);
  // Milliseconds, 0 for no limit; between Open and Send.
  void SetTimeouts(int32_t ResolveTimeout, int32_t ConnectTimeout, int32_t SendTimeout, int32_t ReceiveTimeout);
  std::u16string GetResponseHeader(std::u16string_view Header);
  void Send();
  void Abort();
  // See THttpTransfer::HoldBody.
  void HoldBody(bool Held);

  TWinHttpStatus HttpStatus() const { return HttpStatus_; }

  TWinHttpRequestOnResponseStart OnResponseStart;
  TWinHttpRequestOnResponseDataAvailable OnResponseDataAvailable;
  TWinHttpRequestOnResponseFinished OnResponseFinished;
  TWinHttpRequestOnError OnError;

 private:
  friend class TWinHttpEvents;

  // The platform object, created and connected to the sink on first use.
  THttpTransfer& DefaultInterface();

  std::unique_ptr<TWinHttpEvents> Events_;
  std::unique_ptr<THttpTransfer> Intf_;
  TWinHttpStatus HttpStatus_ = hsNone;
};

}  // namespace qel
