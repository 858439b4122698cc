// The one question the sample game asks the page through the game channel,
// qelGameSays("Hello from the sample game", 42), and its answer, which it
// records in ./page-reply.txt ("code=<c>" and, when the reply has values,
// "value=<the first as text>", one per line).
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "qelchannel.h"

namespace sample {

class TPageGreeting {
 public:
  TPageGreeting() = default;
  ~TPageGreeting() { qelchannel_close(Channel_); }
  TPageGreeting(const TPageGreeting&) = delete;
  TPageGreeting& operator=(const TPageGreeting&) = delete;

  // Asks the page through `plugin_window` (native window ids), unless it has
  // already answered; a question asked before is given up.
  void Ask(uint64_t game_window, uint64_t plugin_window);

  // The channel's qelchannel_fd while a reply is awaited, else -1.
  int WaitHandle() const { return qelchannel_fd(Channel_); }
  // Milliseconds left for the reply (10 s from the question); -1 while none
  // is awaited.
  int RemainingMs() const;

  // Takes what arrived; true when the page's answer came and was recorded.
  // A reply that is late is given up.
  bool TakeReply();

  bool Answered() const { return Answered_; }
  // "Page says: <value>", for the game's window.
  const std::string& PageSays() const { return PageSays_; }

 private:
  void Record(const qelchannel_reply* reply);
  void GiveUp();

  qelchannel* Channel_ = nullptr;
  std::chrono::steady_clock::time_point Deadline_;
  bool Answered_ = false;
  std::string PageSays_;
};

}  // namespace sample
