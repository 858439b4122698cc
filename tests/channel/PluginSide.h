// The plug-in's real side of the channel, in the test's process: its
// window's copy-data listener feeds a receiver that hears the game's window
// only, and a sender answers to the game's window. A channel of the library
// is opened on the game's window for the plug-in's.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "TestWindows.h"
#include "msg/MsgReceiver.h"
#include "msg/MsgSender.h"
#include "platform/CopyData.h"
#include "qelchannel.h"

namespace qel::test {

class PluginSideTest : public ::testing::Test {
 protected:
  static constexpr int kPatienceMs = 5000;

  PluginSideTest();
  ~PluginSideTest() override;

  // The oldest request the plug-in's receiver queued, running the loop until
  // one is there.
  std::optional<TQEL_Message> NextRequest();
  // Sends the request built from `message` through the library and returns
  // what the plug-in's receiver made of it.
  std::optional<TQEL_Message> RoundTrip(const TQEL_Message& message);
  // The next reply the library takes, waiting for it; null when none came.
  // Owned by the test (freed at its end).
  qelchannel_reply* NextReply(int timeout_ms = kPatienceMs);

  const TWindowHandle plugin = UniqueWindow();
  const TWindowHandle game = UniqueWindow();
  TQEL_MsgReceiver receiver{game};
  TQEL_MsgSender sender{game, plugin};
  std::vector<std::string> refusals;  // what the receiver refused, in order
  std::unique_ptr<TCopyDataListener> listener;
  qelchannel* channel = nullptr;

 private:
  std::vector<qelchannel_reply*> replies_;
};

}  // namespace qel::test
