#include "platform/posix/X11ErrorTrap.h"

#include <atomic>

namespace qel {
namespace {

// Traps are set only on the plug-in thread, but the handler runs on whichever
// thread reads an error, of any connection: what it reads is atomic.
std::atomic<Display*> TrappedDisplay{nullptr};
std::atomic<XErrorHandler> PreviousHandler{nullptr};
std::atomic<unsigned long> TrappedErrors{0};
// Traps may nest (a call made while another trap is set); only the
// outermost one installs and restores the handler.
int Depth = 0;

int OnXError(Display* display, XErrorEvent* error) {
  if (display == TrappedDisplay.load()) {
    TrappedErrors.fetch_add(1);
    return 0;
  }
  const XErrorHandler previous = PreviousHandler.load();
  return previous != nullptr && previous != OnXError ? previous(display, error) : 0;
}

// Waits for the server unless every request made so far has been answered
// already (a request with a reply reports its error in its place): most
// calls only ask questions, and a round trip each adds up over many windows.
void SyncIfOutstanding(Display* display) {
  if (LastKnownRequestProcessed(display) != NextRequest(display) - 1) XSync(display, False);
}

}  // namespace

TX11ErrorTrap::TX11ErrorTrap(Display* display) : Display_(display), ErrorsAtStart_(0) {
  if (Depth++ == 0) {
    TrappedDisplay.store(display);
    PreviousHandler.store(XSetErrorHandler(OnXError));
  }
  ErrorsAtStart_ = TrappedErrors.load();
}

TX11ErrorTrap::~TX11ErrorTrap() {
  SyncIfOutstanding(Display_);
  if (--Depth == 0) {
    XSetErrorHandler(PreviousHandler.load());
    TrappedDisplay.store(nullptr);
  }
}

bool TX11ErrorTrap::Failed() {
  SyncIfOutstanding(Display_);
  return TrappedErrors.load() != ErrorsAtStart_;
}

}  // namespace qel
