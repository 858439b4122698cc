#include "host/NPPropRes.h"

#include "host/BrowserObject.h"
#include "host/NPRuntime.h"

namespace qel {

TNPPropRes::TNPPropRes(NPP instance, const NPVariant& value) {
  switch (value.type) {
    case NPVariantType_Void:
    case NPVariantType_Null:
      break;
    case NPVariantType_Object:
      // A browser that answers an object without one has answered nothing.
      if (value.value.objectValue != nullptr) {
        BrowserObject_ = std::make_unique<TBrowserObject>(instance, value.value.objectValue);
        Kind_ = pkObject;
      }
      break;
    default:
      Value_ = NPVariantToVariant(value);
      Kind_ = Value_.IsEmpty() ? pkNone : pkValue;
      break;
  }
}

TNPPropRes::~TNPPropRes() = default;

}  // namespace qel
