// The sample game's client program, started by the launcher in the game's
// install folder with the player's parameter string as its one argument.
// It records what it received in ./received-params.txt ("argc=<n>", a line
// feed, then the parameter string as it came), then opens its main window
// with the title and class that ./config.ini names in [GameLaunch]
// (WndTitle, WndClassName) and runs until:
//   the window is asked to close (WM_DELETE_WINDOW)  writes ./closed.txt, exit 0
//   the window is destroyed (with a parent it was put in)           exit 0
//   the connection to the X server is lost                          exit 1
// Once its window is put into another window (the plug-in's host window), it
// speaks to the page through libqelchannel as any game would: it calls the
// page's function qelGameSays("Hello from the sample game", 42) and, when the
// reply comes (within 10 s), writes ./page-reply.txt ("code=<c>" and, when
// the reply has values, "value=<the first as text>", one per line) and shows
// "Page says: <value>" under its title. A reply that does not come is given
// up; a later embedding into another window asks again.
// The parameter string may hold:
//   webinfo=nowindow     never open a window (and end after two minutes, or
//                        when the X server goes)
//   webinfo=delayms:N    wait N ms before opening the window
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "ClientFiles.h"
#include "PageGreeting.h"

namespace {

constexpr auto kWindowlessLife = std::chrono::seconds(120);

// This program's windows are its own: an error on one that has just gone
// away is nothing to end over.
int IgnoreError(Display*, XErrorEvent*) { return 0; }
int ConnectionLost(Display*) { std::_Exit(1); }

struct TGameWindow {
  Window Id = None;
  Atom WmProtocols = None;
  Atom WmDeleteWindow = None;
};

TGameWindow OpenMainWindow(Display* display, const std::string& title, const std::string& class_name) {
  const int screen = DefaultScreen(display);
  TGameWindow game;
  game.WmProtocols = XInternAtom(display, "WM_PROTOCOLS", False);
  game.WmDeleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);
  game.Id = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 640, 480, 0,
                                    WhitePixel(display, screen), BlackPixel(display, screen));
  // Listening before the window says whose it is: whoever finds it by its
  // title, class or process id may embed, close or destroy it at once, and
  // the server handles this program's requests in the order they were made.
  XSetWMProtocols(display, game.Id, &game.WmDeleteWindow, 1);
  XSelectInput(display, game.Id, ExposureMask | StructureNotifyMask);
  // The title stands in config.ini as it should be shown; the tests keep to
  // ASCII, which reads the same in every character set.
  XStoreName(display, game.Id, title.c_str());
  XChangeProperty(display, game.Id, XInternAtom(display, "_NET_WM_NAME", False),
                  XInternAtom(display, "UTF8_STRING", False), 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(title.data()), static_cast<int>(title.size()));
  std::string res_name = "qelsamplegame";
  std::string res_class = class_name;
  XClassHint hint{res_name.data(), res_class.data()};
  XSetClassHint(display, game.Id, &hint);
  const long pid = static_cast<long>(getpid());
  XChangeProperty(display, game.Id, XInternAtom(display, "_NET_WM_PID", False), XA_CARDINAL, 32,
                  PropModeReplace, reinterpret_cast<const unsigned char*>(&pid), 1);
  XMapWindow(display, game.Id);
  XFlush(display);
  return game;
}

void Paint(Display* display, Window window, const std::string& title, const std::string& page_says) {
  const GC gc = XCreateGC(display, window, 0, nullptr);
  XSetForeground(display, gc, WhitePixel(display, DefaultScreen(display)));
  XDrawString(display, window, gc, 10, 20, title.data(), static_cast<int>(title.size()));
  if (!page_says.empty())
    XDrawString(display, window, gc, 10, 40, page_says.data(), static_cast<int>(page_says.size()));
  XFreeGC(display, gc);
}

// Connected all the same, so that the end of the X server (at the end of a
// test run) ends it too and nothing is left holding the run's output.
int RunWithoutWindow() {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return 1;
  XSetIOErrorHandler(ConnectionLost);
  pollfd connection{ConnectionNumber(display), POLLIN, 0};
  const auto end = std::chrono::steady_clock::now() + kWindowlessLife;
  while (std::chrono::steady_clock::now() < end) {
    if (poll(&connection, 1, 1000) <= 0) continue;
    // A lost connection ends the process in ConnectionLost.
    while (XPending(display) > 0) {
      XEvent event;
      XNextEvent(display, &event);
    }
  }
  XCloseDisplay(display);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string parameters = argc > 1 ? argv[1] : "";
  if (!sample::WriteWhole("received-params.txt", "argc=" + std::to_string(argc) + "\n" + parameters)) return 2;

  if (sample::AsksForNoWindow(parameters)) return RunWithoutWindow();
  if (const long delay = sample::DelayMs(parameters); delay > 0) std::this_thread::sleep_for(std::chrono::milliseconds(delay));

  const std::string title = sample::IniValue("config.ini", "GameLaunch", "WndTitle");
  const std::string class_name = sample::IniValue("config.ini", "GameLaunch", "WndClassName");
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return 1;
  XSetErrorHandler(IgnoreError);
  XSetIOErrorHandler(ConnectionLost);
  const TGameWindow game = OpenMainWindow(display, title, class_name);

  sample::TPageGreeting greeting;
  int exit_code = 0;
  for (bool running = true; running;) {
    // Events Xlib has already read come first; then wait for the server or
    // the channel, whichever speaks.
    if (XPending(display) == 0) {
      pollfd waits[2] = {{ConnectionNumber(display), POLLIN, 0}, {greeting.WaitHandle(), POLLIN, 0}};
      const nfds_t count = waits[1].fd >= 0 ? 2 : 1;
      poll(waits, count, greeting.RemainingMs());
      if (greeting.TakeReply()) Paint(display, game.Id, title, greeting.PageSays());
      continue;
    }
    XEvent event;
    XNextEvent(display, &event);
    if (event.type == ClientMessage && event.xclient.message_type == game.WmProtocols &&
        static_cast<Atom>(event.xclient.data.l[0]) == game.WmDeleteWindow) {
      if (!sample::WriteWhole("closed.txt", "closed\n")) exit_code = 2;
      running = false;
    } else if (event.type == DestroyNotify && event.xdestroywindow.window == game.Id) {
      running = false;
    } else if (event.type == ReparentNotify && event.xreparent.window == game.Id &&
               event.xreparent.parent != DefaultRootWindow(display)) {
      greeting.Ask(game.Id, event.xreparent.parent);
    } else if (event.type == Expose && event.xexpose.count == 0) {
      Paint(display, game.Id, title, greeting.PageSays());
    }
  }
  XCloseDisplay(display);
  return exit_code;
}
