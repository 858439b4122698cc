// NPN_MemAlloc / NPN_MemFree as a browser provides them, with every block
// accounted so that leaks, double frees and frees of foreign pointers show.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <unordered_map>
#include <unordered_set>

#include "BrowserLog.h"

namespace qel::test {

class MemoryLedger {
 public:
  explicit MemoryLedger(BrowserLog& log) : log_(log) {}
  // Blocks still held are freed here: leaks are reported by the tests that
  // ask, not by the leak checker of the process.
  ~MemoryLedger();
  MemoryLedger(const MemoryLedger&) = delete;
  MemoryLedger& operator=(const MemoryLedger&) = delete;

  void* Allocate(uint32_t size);
  // A pointer this ledger did not hand out (or already took back) is recorded
  // as a fault and never reaches free().
  void Free(void* block);

  size_t LiveBlocks() const;
  size_t LiveBytes() const;

 private:
  BrowserLog& log_;
  mutable std::mutex mutex_;
  std::unordered_map<void*, uint32_t> blocks_;
  // Addresses given back and not handed out again, to tell a double free
  // from a pointer the browser never allocated.
  std::unordered_set<void*> freed_;
};

}  // namespace qel::test
