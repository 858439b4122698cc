#include "ObjectRegistry.h"

#include <cstdlib>
#include <string>

namespace qel::test {

NPObject* ObjectRegistry::Create(NPP npp, NPClass* aClass) {
  if (aClass == nullptr) {
    log_.Fault(FaultKind::Object, "NPN_CreateObject with a null class");
    return nullptr;
  }
  const bool bare = aClass->allocate == nullptr;
  NPObject* object =
      bare ? static_cast<NPObject*>(std::malloc(sizeof(NPObject))) : aClass->allocate(npp, aClass);
  if (object == nullptr) return nullptr;
  object->_class = aClass;
  object->referenceCount = 1;
  std::lock_guard lock(mutex_);
  if (!live_.emplace(object, bare).second)
    log_.Fault(FaultKind::Object,
               "NPN_CreateObject: allocate answered the live object " + PointerText(object));
  return object;
}

NPObject* ObjectRegistry::Retain(NPObject* object) {
  if (object == nullptr) return nullptr;
  std::lock_guard lock(mutex_);
  if (live_.count(object) == 0) {
    log_.Fault(FaultKind::Object, "NPN_RetainObject(" + PointerText(object) +
                                      "): object is not live (already deallocated or never "
                                      "created with NPN_CreateObject)");
    return object;
  }
  ++object->referenceCount;
  return object;
}

void ObjectRegistry::Release(NPObject* object) {
  if (object == nullptr) return;
  bool bare = false;
  {
    std::lock_guard lock(mutex_);
    auto it = live_.find(object);
    if (it == live_.end()) {
      log_.Fault(FaultKind::Object, "NPN_ReleaseObject(" + PointerText(object) +
                                        "): object is not live (released once too often or "
                                        "never created with NPN_CreateObject)");
      return;
    }
    if (object->referenceCount == 0) {
      log_.Fault(FaultKind::Object,
                 "NPN_ReleaseObject(" + PointerText(object) + "): reference count was already 0");
      return;
    }
    if (--object->referenceCount > 0) return;
    bare = it->second;
    live_.erase(it);
  }
  NPClass* aClass = object->_class;
  if (aClass != nullptr && aClass->deallocate != nullptr) {
    aClass->deallocate(object);
  } else if (bare) {
    std::free(object);
  } else {
    // The plug-in allocated it; freeing it here would mismatch its allocator.
    log_.Fault(FaultKind::Object, "object " + PointerText(object) +
                                      ": class has allocate but no deallocate; object leaked");
  }
}

bool ObjectRegistry::IsLive(NPObject* object) const {
  std::lock_guard lock(mutex_);
  return live_.count(object) != 0;
}

uint32_t ObjectRegistry::ReferenceCount(NPObject* object) const {
  std::lock_guard lock(mutex_);
  return live_.count(object) != 0 ? object->referenceCount : 0;
}

size_t ObjectRegistry::LiveCount() const {
  std::lock_guard lock(mutex_);
  return live_.size();
}

std::vector<NPObject*> ObjectRegistry::LiveObjects() const {
  std::lock_guard lock(mutex_);
  std::vector<NPObject*> objects;
  objects.reserve(live_.size());
  for (const auto& [object, bare] : live_) objects.push_back(object);
  return objects;
}

}  // namespace qel::test
