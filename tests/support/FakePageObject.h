// An object of the fake page (the window, an element, anything a test hangs
// on them): named properties and methods, reached by the plug-in through the
// object's own NPClass exactly as a browser's script objects are.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

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

  // A script function that answers a copy of `result` (strings in a fresh
  // block, objects with a new reference), as a script returning it would.
  void DefineFunction(std::string name, const NPVariant& result);
  // A script function that throws: the call answers false.
  void DefineThrowingFunction(std::string name);
  // The arguments of each call of a function defined by the two above (and
  // of a document's getElementById), one TypedVariantText per argument.
  std::vector<std::vector<std::string>> CallsOf(std::string_view name) const;
  void RecordCall(const std::string& name, const NPVariant* args, uint32_t argCount);

  // Script text evaluated with this object as the window answers a copy of
  // `result`; any other text throws (NPN_Evaluate answers false).
  void AnswerScript(std::string script, const NPVariant& result);
  bool EvaluateScript(std::string_view script, NPVariant* result);

  // How often the plug-in read the property (present or not).
  int ReadsOf(std::string_view name) const;

  FakePage* page = nullptr;  // null once the page is gone
  std::map<std::string, PageValue, std::less<>> properties;
  std::map<std::string, Method, std::less<>> methods;
  std::map<std::string, PageValue, std::less<>> functionResults;
  std::map<std::string, std::vector<std::vector<std::string>>, std::less<>> calls;
  std::map<std::string, PageValue, std::less<>> scriptResults;
  std::vector<std::string> evaluated;  // every script text, in order
  std::map<std::string, int, std::less<>> reads;
  // A document's elements by id, for getElementById.
  std::map<std::string, PageValue, std::less<>> elementsById;
};

}  // namespace qel::test
