// A semaphore of a fixed number of units, shared by name with every process
// of the same user. Units are taken one at a time without waiting and given
// back through the handle that took them. Units that a handle still holds
// when it is destroyed are free again. When its process dies, Linux frees
// them too; Windows does not (a kernel semaphore does not know who took a
// unit), so there the units of a process that crashed stay taken until every
// process using the name has closed it. Every user of a name must give the
// same number of units. Names are compared exactly, as for TNamedMutex.
#pragma once

#include <memory>
#include <string_view>

namespace qel {

class TNamedSemaphore {
 public:
  // Creates the semaphore with all units free, or opens it when the name is
  // in use (its free units then stand as the other holders left them).
  // Raises EQelError when it cannot be had or `units` is not 1..4096.
  TNamedSemaphore(std::string_view name, int units);
  ~TNamedSemaphore();
  TNamedSemaphore(const TNamedSemaphore&) = delete;
  TNamedSemaphore& operator=(const TNamedSemaphore&) = delete;

  // Takes one unit if one is free at once.
  bool TryAcquire();
  // Gives back `count` units. Raises EQelError when this handle holds fewer.
  void Release(int count = 1);
  // Units this handle holds.
  int Held() const;
  int Units() const;

  class TImpl;

 private:
  std::unique_ptr<TImpl> Impl_;
};

}  // namespace qel
