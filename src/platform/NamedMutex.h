// A mutex shared by name with every process of the same user. Ownership
// belongs to a thread and counts: the owning thread obtains it again at once
// and must release it as often; another thread, in this process or another,
// waits. All handles of one name in one process share that ownership. When
// the owning process dies, the mutex is free again (on Windows the next
// waiter obtains it, abandoned). Names are compared exactly (letter case
// counts). On Linux a name may hold any bytes, and mutexes and semaphores
// have names of their own; on Windows the name is the kernel object's as
// given, so that other programs using it share the object: it must not be
// empty nor hold a NUL byte, a backslash only after "Global" or "Local",
// and a semaphore of the same name makes it unusable (EQelError).
#pragma once

#include <memory>
#include <string_view>

namespace qel {

class TNamedMutex {
 public:
  // Creates the mutex, or opens it when the name is in use, without taking
  // it. Raises EQelError when it cannot be had.
  explicit TNamedMutex(std::string_view name);
  // A mutex still owned when the last handle of its name in this process
  // goes is released.
  ~TNamedMutex();
  TNamedMutex(const TNamedMutex&) = delete;
  TNamedMutex& operator=(const TNamedMutex&) = delete;

  // True when the calling thread owns the mutex afterwards; waits at most
  // timeout_ms milliseconds (0: only tries).
  bool Wait(int timeout_ms);
  // Gives up one count of the calling thread's ownership. Raises EQelError
  // when the calling thread does not own the mutex.
  void Release();

  class TState;

 private:
  TState* State_;  // shared by the process's handles of this name
};

}  // namespace qel
