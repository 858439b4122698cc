// What the copy-data tests share: a listener that keeps what it receives,
// and blocks of recognisable bytes.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "Patience.h"
#include "platform/CopyData.h"
#include "platform/Loop.h"

namespace qel::test {

inline constexpr uint32_t kTag = 0x41424344;

struct TBlock {
  TWindowHandle Sender;
  uint32_t Tag;
  std::vector<uint8_t> Bytes;
};

// A listener that keeps what it receives.
class Inbox {
 public:
  explicit Inbox(TWindowHandle window)
      : listener_(std::make_unique<TCopyDataListener>(
            window, [this](TWindowHandle sender, uint32_t tag, std::span<const uint8_t> block) {
              blocks.push_back({sender, tag, {block.begin(), block.end()}});
              if (then) then();
            })) {}

  bool AwaitBlocks(size_t count) {
    return RunLoopUntil([&] { return blocks.size() >= count; }, kPatienceMs);
  }
  void Close() { listener_.reset(); }

  std::vector<TBlock> blocks;
  std::function<void()> then;

 private:
  std::unique_ptr<TCopyDataListener> listener_;
};

// Blocks of one size told apart by `seed`.
inline std::vector<uint8_t> Pattern(size_t size, uint8_t seed = 0) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + i / 251 + seed);
  return bytes;
}

}  // namespace qel::test
