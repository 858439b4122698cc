// NPN_CreateObject / RetainObject / ReleaseObject as a browser provides them:
// every object created is known while it lives, so that a retain or release
// of a dead or foreign object is recorded instead of touching its memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "BrowserLog.h"
#include "host/NPApi.h"

namespace qel::test {

class ObjectRegistry {
 public:
  explicit ObjectRegistry(BrowserLog& log) : log_(log) {}
  // Objects still alive are left alone: their classes' code may be gone.
  ~ObjectRegistry() = default;
  ObjectRegistry(const ObjectRegistry&) = delete;
  ObjectRegistry& operator=(const ObjectRegistry&) = delete;

  // Calls the class's allocate when it has one, else allocates a bare
  // NPObject; the object starts with one reference, owned by the caller.
  NPObject* Create(NPP npp, NPClass* aClass);
  NPObject* Retain(NPObject* object);
  // The last release forgets the object, then deallocates it.
  void Release(NPObject* object);

  bool IsLive(NPObject* object) const;
  // 0 for an object that is not live.
  uint32_t ReferenceCount(NPObject* object) const;
  size_t LiveCount() const;
  std::vector<NPObject*> LiveObjects() const;

 private:
  BrowserLog& log_;
  // Never held while the plug-in's allocate or deallocate runs: those may
  // create and release other objects.
  mutable std::mutex mutex_;
  // Value: whether the registry allocated the bare object itself.
  std::unordered_map<NPObject*, bool> live_;
};

}  // namespace qel::test
