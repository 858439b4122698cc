// What the fake browser saw at its boundary: the services the plug-in called
// (in order, as text a test can compare) and the faults it committed.
#pragma once

#include <mutex>
#include <string>
#include <vector>

namespace qel::test {

enum class FaultKind { Memory, Object, Identifier, Instance, Thread };

const char* FaultKindName(FaultKind kind);

// How fault messages name an address.
std::string PointerText(const void* p);

// Thread-safe: a plug-in may call the browser from the wrong thread, and that
// call must be recorded rather than race.
class BrowserLog {
 public:
  void Call(std::string entry);
  void Fault(FaultKind kind, std::string message);

  std::vector<std::string> Calls() const;
  void ClearCalls();
  int FaultCount(FaultKind kind) const;
  // Every fault as "<kind>: <message>", in the order they happened.
  std::vector<std::string> Faults() const;

 private:
  struct Entry {
    FaultKind kind;
    std::string message;
  };

  mutable std::mutex mutex_;
  std::vector<std::string> calls_;
  std::vector<Entry> faults_;
};

}  // namespace qel::test
