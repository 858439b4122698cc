// Feeds arbitrary blocks to the receiver as a game could send them. The
// first byte chooses the tag and the sender, the rest is the block (libFuzzer
// hands it in a heap block of exactly its size, so any read past it is
// caught). Checks: only "error param size" is ever raised, nothing is queued
// for a refused or ignored block, and an answer with values writes back to
// exactly the bytes it was read from.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string_view>
#include <vector>

#include "msg/MsgReceiver.h"
#include "msg/MsgSender.h"
#include "msg/PageCallKind.h"
#include "platform/Error.h"

namespace {

constexpr qel::TWindowHandle kGame = 0x2a00005;
constexpr qel::TWindowHandle kPlugin = 0x1200003;

void Check(bool condition) {
  if (!condition) std::abort();
}

bool Sendable(const qel::TQEL_Variant& value) {
  switch (value.Tag) {
    case qel::kTagInteger:
    case qel::kTagDouble:
    case qel::kTagString:
    case qel::kTagBoolean:
    case qel::kTagWideString:
    case qel::kTagBytes:
      return true;
    default:
      return false;
  }
}

// The answer as the plug-in's sender writes it.
std::vector<uint8_t> Written(const qel::TQEL_Message& answer) {
  std::vector<uint8_t> written;
  qel::TQEL_MsgSender sender(
      kGame, kPlugin,
      [&](qel::TWindowHandle, qel::TWindowHandle, uint32_t, std::span<const uint8_t> block, int) {
        written.assign(block.begin(), block.end());
      });
  sender.SendReplyWithValues(answer.Kind, answer.Code, answer.Values, answer.Id);
  return written;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t selector = data[0];
  const uint32_t magic = (selector & 3) == 0   ? qel::kMagicRequest
                         : (selector & 3) == 1 ? qel::kMagicAnswer
                         : (selector & 3) == 2 ? 0x584C4551  // "QELX"
                                               : qel::kMagicRequest ^ (uint32_t{selector} << 24);
  const qel::TWindowHandle sender = (selector & 4) != 0 ? kPlugin : kGame;
  const std::span<const uint8_t> block(data + 1, size - 1);

  qel::TQEL_MsgReceiver receiver(kGame);
  try {
    receiver.HandleCopyData(sender, magic, block);
  } catch (const qel::EQelError& failure) {
    Check(std::string_view(failure.what()) == "error param size");
    Check(receiver.MessageCount() == 0);
    return 0;
  }
  if (receiver.MessageCount() == 0) return 0;
  Check(receiver.MessageCount() == 1);
  Check(sender == kGame);
  Check(magic == qel::kMagicRequest || magic == qel::kMagicAnswer);

  qel::TQEL_Message message;
  Check(receiver.PopMessage(message));
  Check(!receiver.PopMessage(message));
  Check(qel::IsPageCallKind(message.Kind));
  Check(message.Text.size() + message.ObjectName.size() <= block.size());
  if (magic == qel::kMagicAnswer && qel::IsCallKind(message.Kind) && message.Code == 1) {
    bool sendable = true;
    for (const qel::TQEL_Variant& value : message.Values) sendable = sendable && Sendable(value);
    if (sendable) {
      const std::vector<uint8_t> written = Written(message);
      Check(std::equal(written.begin(), written.end(), block.begin(), block.end()));
    }
  }
  return 0;
}
