// The page that embeds the plug-in, as far as the plug-in can see it: the
// window object and the plug-in's element, each a FakePageObject.
#pragma once

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

  // NPN_GetValue(NPNVWindowNPObject) answers `error` from now on;
  // NPERR_NO_ERROR answers the window again.
  void FailWindowObject(NPError error) { windowError_ = error; }
  NPError WindowObjectError() const { return windowError_; }

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
  ObjectRef window_;
  ObjectRef element_;
  NPError windowError_ = NPERR_NO_ERROR;
};

}  // namespace qel::test
