// A game's side of the message channel for tests: libqelchannel, as a game
// uses it, with the system's records (TQEL_Message) in and out so that tests
// compare what went in with what came out. Raw blocks go straight to the
// copy-data transport, for what no honest game would send.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "msg/MsgRecords.h"
#include "msg/RequestWriter.h"
#include "platform/WindowHandle.h"
#include "qelchannel.h"

namespace qel::test {

class GameChannelClient {
 public:
  // Opens the channel on `game_window` (fails with EQelError when it cannot)
  // for `plugin_window`.
  GameChannelClient(TWindowHandle game_window, TWindowHandle plugin_window);
  ~GameChannelClient();
  GameChannelClient(const GameChannelClient&) = delete;
  GameChannelClient& operator=(const GameChannelClient&) = delete;

  // A request of a page-call kind, built through the library; false when the
  // library refuses it or the plug-in's window does not take it in time.
  bool Send(const TQEL_Message& request, int timeout_ms = 1000);
  bool SendBlock(uint32_t tag, std::span<const uint8_t> block, int timeout_ms = 1000);

  // The next answer, waiting for it while the GLib loop runs (a plug-in in
  // this process answers from that loop).
  std::optional<TQEL_Message> WaitForAnswer(int timeout_ms);
  // Answers that have arrived and are not yet taken.
  size_t PendingAnswers();

  TWindowHandle GameWindow() const { return GameWindow_; }
  TWindowHandle PluginWindow() const { return PluginWindow_; }

 private:
  TWindowHandle GameWindow_;
  TWindowHandle PluginWindow_;
  // Moves what the library has received into Answers_.
  void Collect();

  qelchannel* Channel_ = nullptr;
  std::deque<TQEL_Message> Answers_;
};

// A page-call request as the game means it (Code is not sent).
TQEL_Message PageCallRequest(int32_t id, uint8_t kind, std::string text, std::string frame = {},
                             std::vector<TQEL_Variant> values = {});

// The library's request for `message`; null when the library refuses a part.
qelchannel_request* NewChannelRequest(const TQEL_Message& message);
// A reply as the system's record.
TQEL_Message MessageOfReply(const qelchannel_reply* reply);

}  // namespace qel::test
