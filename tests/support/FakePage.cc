#include "FakePage.h"

#include <algorithm>
#include <utility>

namespace qel::test {

FakePage::FakePage(IdentifierTable& identifiers, ObjectRegistry& objects, MemoryLedger& memory)
    : identifiers_(identifiers), objects_(objects), memory_(memory) {}

FakePage::~FakePage() {
  Close();
  // Objects the plug-in still holds outlive the page; they answer nothing now.
  for (FakePageObject* object : pageObjects_) object->page = nullptr;
}

FakePageObject& FakePage::Window() {
  if (!window_) window_ = NewObject();
  return *FakePageObject::From(window_.get());
}

FakePageObject& FakePage::PluginElement() {
  if (!element_) element_ = NewObject();
  return *FakePageObject::From(element_.get());
}

ObjectRef FakePage::NewObject() {
  NPObject* object = objects_.Create(nullptr, FakePageObject::Class());
  FakePageObject* pageObject = FakePageObject::From(object);
  pageObject->page = this;
  pageObjects_.push_back(pageObject);
  return ObjectRef(objects_, object);
}

void FakePage::Close() {
  // Take everything out first, release afterwards: releasing deallocates page
  // objects, which changes pageObjects_.
  std::vector<std::map<std::string, PageValue, std::less<>>> properties;
  std::vector<std::map<std::string, FakePageObject::Method, std::less<>>> methods;
  for (FakePageObject* object : pageObjects_) {
    properties.push_back(std::exchange(object->properties, {}));
    methods.push_back(std::exchange(object->methods, {}));
  }
  properties.clear();
  methods.clear();
  window_.reset();
  element_.reset();
}

void FakePage::Forget(FakePageObject* object) {
  pageObjects_.erase(std::remove(pageObjects_.begin(), pageObjects_.end(), object),
                     pageObjects_.end());
}

}  // namespace qel::test
