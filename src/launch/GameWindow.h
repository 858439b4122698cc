// Finding a started game's main window among the top-level windows, and
// pulling it into the plug-in's window.
#pragma once

#include <cstdint>
#include <string>

#include "platform/NativeWindows.h"

namespace qel {

// What the search looks for, and what it found.
struct TEnumData {
  std::string ClassName;
  std::string Title;
  uint32_t ProcessId = 0;
  TWindowHandle Window = 0;
  bool Found = false;
};

// The first top-level window whose title and class equal the wanted ones
// exactly and that belongs to the process. Titles are read as into a buffer
// of 255 characters, so a title longer than 254 characters never matches.
void FindGameWindow(TWindowSystem& windows, TEnumData& data);

// Hides the window, sizes it to the host's inside, makes it a child of the
// host and shows it again. True when the host is its parent afterwards.
bool EmbedWindow(TWindowSystem& windows, TWindowHandle window, TWindowHandle host);

}  // namespace qel
