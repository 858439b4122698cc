// The process's one connection to the X server, shared by everything in the
// platform layer that touches windows. It is opened on first need, so that a
// plug-in instance that never shows a window needs no display, and closed
// when the library is unloaded.
#pragma once

#include <X11/Xlib.h>

namespace qel {

// The atoms the window calls ask about, interned once per connection.
struct TX11Atoms {
  Atom WmState = None;
  Atom WmProtocols = None;
  Atom WmDeleteWindow = None;
  Atom NetWmName = None;
  Atom NetWmPid = None;
  Atom Utf8String = None;
};

struct TX11Connection {
  Display* Server = nullptr;  // nullptr: there is no display to talk to
  TX11Atoms Atoms;
};

// Opens the connection on the first call (XOpenDisplay with $DISPLAY). When
// that fails, the answer stays "no display" for the life of the process.
const TX11Connection& ProcessX11Connection();

}  // namespace qel
