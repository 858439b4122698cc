// The top-level windows and what the launcher asks of each (title, class,
// process id), read all at once: the questions for every window go out
// together and the answers are collected afterwards, so that a scan costs a
// few round trips to the X server whatever the number of windows, instead of
// several per window. The launcher scans on every timer tick while it waits
// for a game's window, on the thread that also serves the browser.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/posix/X11Connection.h"

namespace qel {

struct TX11WindowFacts {
  std::string Title;  // 8-bit text
  std::string ClassName;
  uint32_t ProcessId = 0;
};

struct TX11TopLevelScan {
  // Topmost first: each child of the root, or the client window inside it
  // when it is a window manager's frame.
  std::vector<Window> Windows;
  std::unordered_map<Window, TX11WindowFacts> Facts;
};

// A window that vanishes meanwhile is listed with empty facts, or not at all.
TX11TopLevelScan ScanTopLevelWindows(const TX11Connection& connection);

}  // namespace qel
