// One result the page gave to a property read, method call or evaluation:
// nothing (void or null), a plain value, or a page object.
#pragma once

#include <cstdint>
#include <memory>

#include "host/NPApi.h"
#include "host/Variant.h"

namespace qel {

class TBrowserObject;

enum TNPPropKind : uint8_t {
  pkNone = 0,    // void, null or no value
  pkValue = 1,   // a plain value
  pkObject = 2,  // a page object
};

class INPPropRes {
 public:
  virtual ~INPPropRes() = default;
  virtual TNPPropKind GetKind() const = 0;
  // A copy of the value; empty unless the kind is pkValue.
  virtual TVariant GetValue() const = 0;
  // The page object of a pkObject result, owned by the result: not to be
  // freed, nor used after the result is gone. Null for the other kinds.
  virtual TBrowserObject* GetObject() const = 0;
};

class TNPPropRes final : public INPPropRes {
 public:
  // From what a successful browser call answered; an object is wrapped with
  // a reference of the result's own, so the caller still releases `value`.
  TNPPropRes(NPP instance, const NPVariant& value);
  ~TNPPropRes() override;

  TNPPropKind GetKind() const override { return Kind_; }
  TVariant GetValue() const override { return Value_; }
  TBrowserObject* GetObject() const override { return BrowserObject_.get(); }

 private:
  TNPPropKind Kind_ = pkNone;
  TVariant Value_;
  std::unique_ptr<TBrowserObject> BrowserObject_;
};

}  // namespace qel
