// An object of the fake page (the window, an element, anything a test hangs
// on them): named properties and methods, reached by the plug-in through the
// object's own NPClass exactly as a browser's script objects are.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "PageValue.h"
#include "host/NPApi.h"

namespace qel::test {

class FakePage;

struct FakePageObject : NPObject {
  using Method = std::function<bool(const NPVariant* args, uint32_t argCount, NPVariant* result)>;

  static NPClass* Class();
  // Null when the object is not a page object.
  static FakePageObject* From(NPObject* object);

  // The test's side of the page; the plug-in's side is the class.
  void Set(std::string_view name, const NPVariant& value);  // copies; retains objects
  bool Has(std::string_view name) const;
  // The property as VariantText shows it, "<absent>" when there is none.
  std::string Text(std::string_view name) const;
  // Non-owning; null when the property is absent or not an object.
  NPObject* ObjectAt(std::string_view name) const;
  // `method` answers the script call: it fills `result` and answers success.
  void DefineMethod(std::string name, Method method);

  FakePage* page = nullptr;  // null once the page is gone
  std::map<std::string, PageValue, std::less<>> properties;
  std::map<std::string, Method, std::less<>> methods;
};

}  // namespace qel::test
