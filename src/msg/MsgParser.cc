#include "msg/MsgParser.h"

#include "msg/ByteReader.h"
#include "msg/PageCallKind.h"
#include "msg/ValueList.h"

namespace qel {
namespace {

// A list that must end exactly where the block ends.
std::vector<TQEL_Variant> ReadFinalValueList(TByteReader& reader) {
  std::vector<TQEL_Variant> values = ReadValueList(reader);
  if (reader.Remaining() != 0) RefuseParamSize();
  return values;
}

void ReadRequest(TByteReader& reader, TQEL_Message& message) {
  switch (message.Kind) {
    case pcCallWindow:
    case pcCallParent:
      message.Text = reader.Text(reader.U8());
      message.Values = ReadFinalValueList(reader);
      break;
    case pcEvalWindow:
    case pcEvalParent:
      message.Text = reader.RestAsText();
      break;
    case pcCallFrame:
      message.ObjectName = reader.Text(reader.U8());
      message.Text = reader.Text(reader.U8());
      message.Values = ReadFinalValueList(reader);
      break;
    case pcEvalFrame:
      message.ObjectName = reader.Text(reader.U8());
      message.Text = reader.RestAsText();
      break;
  }
}

void ReadAnswer(TByteReader& reader, TQEL_Message& message) {
  message.Code = reader.U8();
  // Only a successful call answer carries values; the rest ends at the code.
  if (IsCallKind(message.Kind) && message.Code == 1) message.Values = ReadFinalValueList(reader);
}

}  // namespace

std::optional<TQEL_Message> ParseMessage(uint32_t magic, std::span<const uint8_t> block) {
  if (magic != kMagicRequest && magic != kMagicAnswer) return std::nullopt;
  TByteReader reader(block);
  TQEL_Message message;
  message.Id = reader.I32();
  message.Kind = reader.U8();
  if (!IsPageCallKind(message.Kind)) return std::nullopt;
  if (magic == kMagicRequest) {
    ReadRequest(reader, message);
  } else {
    ReadAnswer(reader, message);
  }
  return message;
}

}  // namespace qel
