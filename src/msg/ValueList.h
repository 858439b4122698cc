// The value list of the byte format: a count byte, then each value as its
// tag and payload.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "msg/ByteReader.h"
#include "msg/MsgRecords.h"

namespace qel {

constexpr size_t kMostValues = 255;
constexpr size_t kLongestString = 65535;  // bytes, or UTF-16 code units
constexpr size_t kLongestByteArray = 2147483647;

// Who writes the list: the plug-in's answers carry the six sendable kinds
// only, a game's requests may also pass an empty value (the tag alone).
enum class TValueListUse { Answer, Request };

// The encoded size of the list, count byte included. A value whose tag is
// not sendable for `use` is refused with "invalid param"; more than
// kMostValues values or a string or byte array longer than its length
// field can state, with "Range check error".
uint64_t ValueListSize(std::span<const TQEL_Variant> values,
                       TValueListUse use = TValueListUse::Answer);

// Writes the list (checked by ValueListSize first) at `out`; answers the
// byte after it.
uint8_t* WriteValueList(uint8_t* out, std::span<const TQEL_Variant> values);

// Reads a list; a length that runs past the block, or a negative byte-array
// length, refuses the message with "error param size".
std::vector<TQEL_Variant> ReadValueList(TByteReader& reader);

}  // namespace qel
