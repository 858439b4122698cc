// Catches the X errors of one connection while it lives, so that a request
// on a window that has gone away fails quietly instead of reaching Xlib's
// default handler, which prints and ends the process. The handler is
// process-wide and the host browser may have its own: errors of other
// connections are passed on to the handler that was there before, and that
// handler is put back when the last trap ends.
#pragma once

#include <X11/Xlib.h>

namespace qel {

class TX11ErrorTrap {
 public:
  explicit TX11ErrorTrap(Display* display);
  // Waits for the server to have handled every request made so far, so that
  // none of their errors can arrive after the handler is put back.
  ~TX11ErrorTrap();
  TX11ErrorTrap(const TX11ErrorTrap&) = delete;
  TX11ErrorTrap& operator=(const TX11ErrorTrap&) = delete;

  // True when a request made on the connection since the trap was set
  // failed; waits for the server's answer to all of them.
  bool Failed();

 private:
  Display* Display_;
  unsigned long ErrorsAtStart_;
};

}  // namespace qel
