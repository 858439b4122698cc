#include "msg/RequestWriter.h"

#include "msg/PageCallKind.h"
#include "msg/ValueList.h"
#include "platform/Error.h"

namespace qel {
namespace {

void PutShortText(std::vector<uint8_t>& out, const std::string& text) {
  if (text.size() > kLongestShortText) throw EQelError("Range check error");
  out.push_back(static_cast<uint8_t>(text.size()));
  out.insert(out.end(), text.begin(), text.end());
}

void PutValues(std::vector<uint8_t>& out, std::span<const TQEL_Variant> values) {
  const size_t start = out.size();
  out.resize(start + static_cast<size_t>(ValueListSize(values, TValueListUse::Request)));
  WriteValueList(out.data() + start, values);
}

}  // namespace

std::vector<uint8_t> EncodeRequest(const TQEL_Message& request) {
  std::vector<uint8_t> out;
  const auto id = static_cast<uint32_t>(request.Id);
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(id >> (8 * i)));
  out.push_back(request.Kind);
  switch (request.Kind) {
    case pcCallWindow:
    case pcCallParent:
      PutShortText(out, request.Text);
      PutValues(out, request.Values);
      break;
    case pcEvalWindow:
    case pcEvalParent:
      out.insert(out.end(), request.Text.begin(), request.Text.end());
      break;
    case pcCallFrame:
      PutShortText(out, request.ObjectName);
      PutShortText(out, request.Text);
      PutValues(out, request.Values);
      break;
    case pcEvalFrame:
      PutShortText(out, request.ObjectName);
      out.insert(out.end(), request.Text.begin(), request.Text.end());
      break;
    default:
      break;
  }
  return out;
}

}  // namespace qel
