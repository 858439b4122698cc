#include "MemoryLedger.h"

#include <cstdlib>
#include <string>

namespace qel::test {

MemoryLedger::~MemoryLedger() {
  for (auto& [block, size] : blocks_) std::free(block);
}

void* MemoryLedger::Allocate(uint32_t size) {
  // malloc(0) may answer null, which a plug-in would take for exhaustion.
  void* block = std::malloc(size == 0 ? 1 : size);
  if (block == nullptr) return nullptr;
  std::lock_guard lock(mutex_);
  blocks_.emplace(block, size);
  freed_.erase(block);
  return block;
}

void MemoryLedger::Free(void* block) {
  if (block == nullptr) return;
  {
    std::lock_guard lock(mutex_);
    auto it = blocks_.find(block);
    if (it == blocks_.end()) {
      const bool twice = freed_.count(block) != 0;
      log_.Fault(FaultKind::Memory,
                 "NPN_MemFree(" + PointerText(block) + "): " +
                     (twice ? "block freed twice" : "pointer was not allocated with NPN_MemAlloc"));
      return;
    }
    blocks_.erase(it);
    freed_.insert(block);
  }
  std::free(block);
}

size_t MemoryLedger::LiveBlocks() const {
  std::lock_guard lock(mutex_);
  return blocks_.size();
}

size_t MemoryLedger::LiveBytes() const {
  std::lock_guard lock(mutex_);
  size_t bytes = 0;
  for (const auto& [block, size] : blocks_) bytes += size;
  return bytes;
}

}  // namespace qel::test
