#include "FakePage.h"

#include <algorithm>
#include <utility>

#include "Variants.h"

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

ObjectRef FakePage::NewArray(std::span<const NPVariant> elements) {
  ObjectRef array = NewObject();
  FakePageObject* object = FakePageObject::From(array.get());
  object->Set("length", IntVariant(static_cast<int32_t>(elements.size())));
  for (size_t i = 0; i < elements.size(); ++i) object->Set(std::to_string(i), elements[i]);
  return array;
}

FakePageObject& FakePage::ParentDocument() {
  if (!parentDocument_) {
    parentDocument_ = NewObject();
    parentWindow_ = NewObject();
    FakePageObject* document = FakePageObject::From(parentDocument_.get());
    FakePageObject* window = FakePageObject::From(parentWindow_.get());
    NPVariant view = ObjectVariant(objects_, window);
    document->Set("defaultView", view);
    ReleaseVariantValue(memory_, objects_, &view);
    NPVariant owner = ObjectVariant(objects_, document);
    window->Set("document", owner);
    document->DefineMethod(
        "getElementById", [document](const NPVariant* args, uint32_t argCount, NPVariant* result) {
          document->RecordCall("getElementById", args, argCount);
          *result = NullVariant();
          if (argCount < 1 || args[0].type != NPVariantType_String || document->page == nullptr)
            return true;
          auto it = document->elementsById.find(VariantString(args[0]));
          if (it != document->elementsById.end())
            *result = it->second.Hand(document->page->Memory(), document->page->Objects());
          return true;
        });
    // The frame element that holds this page.
    ObjectRef frame = NewObject();
    FakePageObject::From(frame.get())->Set("ownerDocument", owner);
    ReleaseVariantValue(memory_, objects_, &owner);
    NPVariant frameValue = ObjectVariant(objects_, frame.get());
    Window().Set("frameElement", frameValue);
    ReleaseVariantValue(memory_, objects_, &frameValue);
  }
  return *FakePageObject::From(parentDocument_.get());
}

FakePageObject& FakePage::ParentWindow() {
  ParentDocument();
  return *FakePageObject::From(parentWindow_.get());
}

FakePageObject& FakePage::AddParentElement(const std::string& id) {
  FakePageObject& document = ParentDocument();
  ObjectRef element = NewObject();
  FakePageObject* object = FakePageObject::From(element.get());
  NPVariant owner = ObjectVariant(objects_, &document);
  object->Set("ownerDocument", owner);
  ReleaseVariantValue(memory_, objects_, &owner);
  NPVariant value = ObjectVariant(objects_, object);
  document.elementsById.insert_or_assign(id, PageValue::Copy(objects_, value));
  ReleaseVariantValue(memory_, objects_, &value);
  return *object;  // the document holds it
}

FakePageObject& FakePage::AddFrame(const std::string& id) {
  FakePageObject& element = AddParentElement(id);
  ObjectRef document = NewObject();
  ObjectRef window = NewObject();
  NPVariant value = ObjectVariant(objects_, window.get());
  FakePageObject::From(document.get())->Set("defaultView", value);
  ReleaseVariantValue(memory_, objects_, &value);
  value = ObjectVariant(objects_, document.get());
  element.Set("contentDocument", value);
  FakePageObject::From(window.get())->Set("document", value);
  ReleaseVariantValue(memory_, objects_, &value);
  return *FakePageObject::From(window.get());  // held through the element
}

FakePageObject& FakePage::AddElement(const std::string& id) {
  FakePageObject& element = AddParentElement(id);
  element.Set("contentDocument", VoidVariant());
  return element;
}

void FakePage::Close() {
  // Take everything out first, release afterwards: releasing deallocates page
  // objects, which changes pageObjects_.
  using Values = std::map<std::string, PageValue, std::less<>>;
  std::vector<Values> values;
  std::vector<std::map<std::string, FakePageObject::Method, std::less<>>> methods;
  for (FakePageObject* object : pageObjects_) {
    values.push_back(std::exchange(object->properties, {}));
    values.push_back(std::exchange(object->functionResults, {}));
    values.push_back(std::exchange(object->scriptResults, {}));
    values.push_back(std::exchange(object->elementsById, {}));
    methods.push_back(std::exchange(object->methods, {}));
  }
  values.clear();
  methods.clear();
  window_.reset();
  element_.reset();
  parentDocument_.reset();
  parentWindow_.reset();
}

void FakePage::Forget(FakePageObject* object) {
  pageObjects_.erase(std::remove(pageObjects_.begin(), pageObjects_.end(), object),
                     pageObjects_.end());
}

}  // namespace qel::test
