// Windows for transport tests, each its own, so that test processes running
// at the same time never listen for the same window. Each system has its
// own kind (posix/ or win32/TestWindows.cc).
#pragma once

#include "platform/WindowHandle.h"

namespace qel::test {

// A window of the calling thread that nobody else uses, never 0; it lasts
// as long as the thread.
TWindowHandle UniqueWindow();

}  // namespace qel::test
