// The game's side of the message channel, as a game client speaks it: it
// sends requests ("QELA") to the plug-in's window and receives the answers
// ("QELP") on its own window. Used by the tests and by the sample game;
// needs no test framework, only the system's objects (link qelcore and
// qelplatform beside it). Runs on the thread that turns the GLib loop.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "msg/MsgReceiver.h"
#include "msg/MsgRecords.h"
#include "platform/CopyData.h"
#include "platform/WindowHandle.h"

namespace qel::test {

// The bytes of a request as a game sends them: Id, Kind and the kind's
// layout filled from Text, ObjectName and Values (Code is not sent). Texts
// behind a length byte are cut to 255 bytes; a value list that cannot be
// encoded fails as the plug-in's sender does.
std::vector<uint8_t> EncodeRequest(const TQEL_Message& request);

class GameChannelClient {
 public:
  // Listens on `game_window` (fails with EQelError when it cannot) and takes
  // answers from `plugin_window` only.
  GameChannelClient(TWindowHandle game_window, TWindowHandle plugin_window);
  GameChannelClient(const GameChannelClient&) = delete;
  GameChannelClient& operator=(const GameChannelClient&) = delete;

  // False when the plug-in's window did not take the request in time.
  bool Send(const TQEL_Message& request, int timeout_ms = 1000);
  bool SendBlock(uint32_t tag, std::span<const uint8_t> block, int timeout_ms = 1000);

  // The oldest answer not yet taken, waiting for one while the loop runs.
  std::optional<TQEL_Message> WaitForAnswer(int timeout_ms);
  size_t PendingAnswers() const { return Answers_.MessageCount(); }
  // Blocks that reached the game's window, answers or not.
  size_t Deliveries() const { return Deliveries_; }

  TWindowHandle GameWindow() const { return GameWindow_; }
  TWindowHandle PluginWindow() const { return PluginWindow_; }

 private:
  TWindowHandle GameWindow_;
  TWindowHandle PluginWindow_;
  TQEL_MsgReceiver Answers_;
  size_t Deliveries_ = 0;
  TCopyDataListener Listener_;
};

}  // namespace qel::test
