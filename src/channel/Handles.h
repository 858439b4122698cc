// What the C API's opaque handles stand for.
#pragma once

#include <cstdint>
#include <vector>

#include "msg/MsgRecords.h"
#include "platform/CopyDataEndpoint.h"
#include "platform/WindowHandle.h"

struct qelchannel {
  qel::TCopyDataEndpoint Endpoint;  // the game window's
  qel::TWindowHandle PluginWindow;  // the only sender heard, and where requests go
};

struct qelchannel_request {
  qel::TQEL_Message Message;  // Code unused
};

struct qelchannel_reply {
  qel::TQEL_Message Message;
  // The UTF-16 values as uint16_t units, parallel to Message.Values (empty
  // for the other types), so that C reads them through their own type.
  std::vector<std::vector<uint16_t>> WideUnits;
};
