// The byte format of the channel's messages, written from the game's side:
// a request (tag "QELA") as the plug-in's receiver reads it.
#pragma once

#include <cstdint>
#include <vector>

#include "msg/MsgRecords.h"

namespace qel {

// The longest text behind a length byte (a function name, a frame's id).
constexpr size_t kLongestShortText = 255;

// Id, Kind and the kind's layout filled from Text, ObjectName and Values
// (Code is not sent). A kind outside the page-call kinds gives Id and Kind
// alone. A text behind a length byte longer than kLongestShortText is
// refused with "Range check error", values as ValueListSize refuses them
// for a request.
std::vector<uint8_t> EncodeRequest(const TQEL_Message& request);

}  // namespace qel
