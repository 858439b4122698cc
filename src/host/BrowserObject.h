// A page object (window, document, element, array, any script value that is
// an object) as the plug-in holds it: one reference of its own for as long as
// the wrapper lives, and the browser calls that read and call into it. Names
// and script texts are 8-bit text; they reach the browser as UTF-8.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "host/NPApi.h"
#include "host/NPPropRes.h"
#include "host/Variant.h"

namespace qel {

class TBrowserObject {
 public:
  // Retains the object; the destructor releases it.
  TBrowserObject(NPP instance, ::NPObject* object);
  // A wrapper for a reference the browser handed out (NPN_GetValue's page
  // objects): the handed reference goes back whether or not the wrapper is made.
  static std::unique_ptr<TBrowserObject> Adopt(NPP instance, ::NPObject* object);
  ~TBrowserObject();
  TBrowserObject(const TBrowserObject&) = delete;
  TBrowserObject& operator=(const TBrowserObject&) = delete;

  ::NPObject* NPObject() const { return NPObject_; }
  NPP Instance() const { return Instance_; }

  // The result of a successful browser call (kind pkNone for void or null),
  // or null when the browser refused it. Evaluate and Invoke also answer
  // null for any failure on the way (the page threw, a conversion failed);
  // GetProperty and GetElement let such failures pass.
  std::unique_ptr<INPPropRes> Evaluate(std::string_view script);
  std::unique_ptr<INPPropRes> GetProperty(std::string_view name);
  std::unique_ptr<INPPropRes> GetElement(int32_t index);
  std::unique_ptr<INPPropRes> Invoke(std::string_view method,
                                     const std::vector<TVariant>& arguments);

  // The property as a new wrapper when it is an object, else null.
  std::unique_ptr<TBrowserObject> GetPropertyObject(std::string_view name);

 private:
  std::unique_ptr<INPPropRes> GetPropertyById(NPIdentifier name);

  NPP Instance_;
  ::NPObject* NPObject_;
};

}  // namespace qel
