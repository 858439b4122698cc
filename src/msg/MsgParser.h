// The byte format of the channel's messages, read: a block delivered with a
// copy-data tag becomes a TQEL_Message.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "msg/MsgRecords.h"

namespace qel {

// Nothing for a block that is no message of the channel: another tag, or a
// kind outside the page-call kinds. A block whose layout does not fit its
// length (too short for a field, a length running past the end, a value
// list that does not end exactly at the block's end) is refused with
// "error param size". Reads never pass the block's end.
std::optional<TQEL_Message> ParseMessage(uint32_t magic, std::span<const uint8_t> block);

}  // namespace qel
