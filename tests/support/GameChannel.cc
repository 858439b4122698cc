#include "GameChannel.h"

#include <algorithm>
#include <string>

#include "msg/PageCallKind.h"
#include "msg/ValueList.h"
#include "platform/Loop.h"

namespace qel::test {
namespace {

void PutShortText(std::vector<uint8_t>& out, const std::string& text) {
  const size_t length = std::min<size_t>(text.size(), 255);
  out.push_back(static_cast<uint8_t>(length));
  out.insert(out.end(), text.begin(), text.begin() + static_cast<std::ptrdiff_t>(length));
}

void PutValues(std::vector<uint8_t>& out, std::span<const TQEL_Variant> values) {
  const size_t start = out.size();
  out.resize(start + static_cast<size_t>(ValueListSize(values)));
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

GameChannelClient::GameChannelClient(TWindowHandle game_window, TWindowHandle plugin_window)
    : GameWindow_(game_window),
      PluginWindow_(plugin_window),
      Answers_(plugin_window),
      Listener_(game_window,
                [this](TWindowHandle sender, uint32_t tag, std::span<const uint8_t> block) {
                  ++Deliveries_;
                  Answers_.HandleCopyData(sender, tag, block);
                }) {}

bool GameChannelClient::Send(const TQEL_Message& request, int timeout_ms) {
  return SendBlock(kMagicRequest, EncodeRequest(request), timeout_ms);
}

bool GameChannelClient::SendBlock(uint32_t tag, std::span<const uint8_t> block, int timeout_ms) {
  return SendCopyData(PluginWindow_, GameWindow_, tag, block, timeout_ms);
}

std::optional<TQEL_Message> GameChannelClient::WaitForAnswer(int timeout_ms) {
  if (!RunLoopUntil([this] { return Answers_.MessageCount() > 0; }, timeout_ms))
    return std::nullopt;
  TQEL_Message answer;
  Answers_.PopMessage(answer);
  return answer;
}

}  // namespace qel::test
