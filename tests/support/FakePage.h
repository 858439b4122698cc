// The page that embeds the plug-in, as far as the plug-in can see it: the
// window object and the plug-in's element, each a FakePageObject; and, when
// a test asks for it, the parent page that holds this page in a frame, with
// further frames and elements that its document finds by id.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "FakePageObject.h"
#include "IdentifierTable.h"
#include "MemoryLedger.h"
#include "ObjectRef.h"

namespace qel::test {

class FakePage {
 public:
  FakePage(IdentifierTable& identifiers, ObjectRegistry& objects, MemoryLedger& memory);
  ~FakePage();
  FakePage(const FakePage&) = delete;
  FakePage& operator=(const FakePage&) = delete;

  // Made on first use, and again after Close().
  FakePageObject& Window();
  FakePageObject& PluginElement();
  // A further page object (a document, a callback holder); the caller owns
  // its one reference.
  ObjectRef NewObject();
  // A script array: "length" (Int32) and the elements "0", "1", ...
  ObjectRef NewArray(std::span<const NPVariant> elements);

  // The first call puts the page inside a frame of a parent page:
  // window.frameElement is an element of the parent document, its
  // ownerDocument is ParentDocument(), whose defaultView is ParentWindow().
  // Without it window.frameElement is absent; a test sets it to null for a
  // top-level page as browsers show one.
  FakePageObject& ParentDocument();
  FakePageObject& ParentWindow();
  // A frame element of the parent document, found by getElementById(id):
  // its contentDocument's defaultView is the frame's window, answered here.
  FakePageObject& AddFrame(const std::string& id);
  // An element of the parent document that is no frame (an image): its
  // contentDocument is undefined. Answers the element.
  FakePageObject& AddElement(const std::string& id);

  // NPN_GetValue(NPNVWindowNPObject) answers `error` from now on;
  // NPERR_NO_ERROR answers the window again.
  void FailWindowObject(NPError error) { windowError_ = error; }
  NPError WindowObjectError() const { return windowError_; }
  // NPN_GetValue(NPNVWindowNPObject) answers success without an object.
  void AnswerNullWindow(bool answer) { nullWindow_ = answer; }
  bool AnswersNullWindow() const { return nullWindow_; }

  // Leaves the page: every page object drops its properties and methods
  // (which breaks reference cycles between them), then the page drops the
  // window and the element. Objects the plug-in still holds stay alive.
  void Close();

  IdentifierTable& Identifiers() { return identifiers_; }
  ObjectRegistry& Objects() { return objects_; }
  MemoryLedger& Memory() { return memory_; }
  // A page object's deallocate takes it off the page.
  void Forget(FakePageObject* object);

 private:
  IdentifierTable& identifiers_;
  ObjectRegistry& objects_;
  MemoryLedger& memory_;
  // Every live page object, non-owning: each leaves this list when deallocated.
  std::vector<FakePageObject*> pageObjects_;
  // An element of the parent document, registered for getElementById.
  FakePageObject& AddParentElement(const std::string& id);

  ObjectRef window_;
  ObjectRef element_;
  ObjectRef parentDocument_;
  ObjectRef parentWindow_;
  NPError windowError_ = NPERR_NO_ERROR;
  bool nullWindow_ = false;
};

}  // namespace qel::test
