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

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>
#include <thread>

#include "qelchannel.h"

namespace {

constexpr auto kWindowlessLife = std::chrono::seconds(120);
constexpr auto kReplyPatience = std::chrono::seconds(10);
constexpr int32_t kGreetingId = 1;

std::string Trimmed(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  const size_t last = text.find_last_not_of(" \t\r");
  return std::string(text.substr(first, last - first + 1));
}

bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

// The first value of the key in the section; section and key without regard
// to letter case.
std::string IniValue(const std::string& path, std::string_view section, std::string_view key) {
  std::ifstream file(path);
  std::string line;
  bool in_section = false;
  while (std::getline(file, line)) {
    const std::string text = Trimmed(line);
    if (text.empty() || text[0] == ';') continue;
    if (text.front() == '[') {
      const size_t close = text.find(']');
      in_section = close != std::string::npos && SameText(Trimmed(text.substr(1, close - 1)), section);
      continue;
    }
    const size_t equals = text.find('=');
    if (in_section && equals != std::string::npos && SameText(Trimmed(text.substr(0, equals)), key))
      return Trimmed(text.substr(equals + 1));
  }
  return {};
}

// Written whole under another name first, so that whoever sees the file sees
// all of it.
bool WriteWhole(const std::string& path, const std::string& content) {
  const std::string temporary = path + ".tmp";
  {
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    file << content;
    if (!file.flush()) return false;
  }
  return std::rename(temporary.c_str(), path.c_str()) == 0;
}

long DelayMs(const std::string& parameters) {
  static constexpr std::string_view kDelay = "webinfo=delayms:";
  const size_t at = parameters.find(kDelay);
  if (at == std::string::npos) return 0;
  return std::strtol(parameters.c_str() + at + kDelay.size(), nullptr, 10);
}

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

void AppendUtf8(std::string& out, uint32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | code >> 6);
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | code >> 12);
    out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | code >> 18);
    out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// A reply value as text: numbers in decimal, booleans as true/false, wide
// strings in UTF-8, 8-bit strings as they came.
std::string ValueText(const qelchannel_reply* reply, int index) {
  switch (qelchannel_reply_type(reply, index)) {
    case QELCHANNEL_VALUE_INT: {
      int32_t value = 0;
      qelchannel_reply_int(reply, index, &value);
      return std::to_string(value);
    }
    case QELCHANNEL_VALUE_DOUBLE: {
      double value = 0;
      qelchannel_reply_double(reply, index, &value);
      char text[32];
      std::snprintf(text, sizeof text, "%.17g", value);
      return text;
    }
    case QELCHANNEL_VALUE_STRING: {
      const char* bytes = nullptr;
      size_t length = 0;
      qelchannel_reply_string(reply, index, &bytes, &length);
      return std::string(bytes, length);
    }
    case QELCHANNEL_VALUE_BOOL: {
      int value = 0;
      qelchannel_reply_bool(reply, index, &value);
      return value != 0 ? "true" : "false";
    }
    case QELCHANNEL_VALUE_WSTRING: {
      const uint16_t* units = nullptr;
      size_t count = 0;
      qelchannel_reply_wstring(reply, index, &units, &count);
      std::string text;
      for (size_t i = 0; i < count; ++i) {
        uint32_t code = units[i];
        if (code >= 0xD800 && code < 0xDC00 && i + 1 < count && units[i + 1] >= 0xDC00 && units[i + 1] < 0xE000)
          code = 0x10000 + ((code - 0xD800) << 10) + (units[++i] - 0xDC00);
        AppendUtf8(text, code);
      }
      return text;
    }
    default:
      return {};
  }
}

// The one question the game asks the page, and its answer.
class TPageGreeting {
 public:
  ~TPageGreeting() { qelchannel_close(Channel_); }

  // Asks the page through `plugin_window`, unless it has already answered.
  void Ask(Window game_window, Window plugin_window) {
    if (Answered_) return;
    qelchannel_close(Channel_);
    Channel_ = nullptr;
    if (qelchannel_open(game_window, plugin_window, &Channel_) != QELCHANNEL_OK) return;
    qelchannel_request* request = nullptr;
    bool sent = false;
    if (qelchannel_request_new(kGreetingId, QELCHANNEL_CALL_WINDOW, "qelGameSays", nullptr, &request) == QELCHANNEL_OK) {
      static constexpr std::string_view kHello = "Hello from the sample game";
      sent = qelchannel_request_add_string(request, kHello.data(), kHello.size()) == QELCHANNEL_OK &&
             qelchannel_request_add_int(request, 42) == QELCHANNEL_OK &&
             qelchannel_send(Channel_, request, 1000) == QELCHANNEL_OK;
    }
    qelchannel_request_free(request);
    if (!sent) return GiveUp();
    Deadline_ = std::chrono::steady_clock::now() + kReplyPatience;
  }

  // The channel's descriptor while a reply is awaited, else -1.
  int WaitHandle() const { return qelchannel_fd(Channel_); }
  // Milliseconds left for the reply; -1 while none is awaited.
  int RemainingMs() const {
    if (Channel_ == nullptr) return -1;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(Deadline_ - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
  }

  // Takes what arrived; true when the page's answer came and was recorded.
  bool TakeReply() {
    if (Channel_ == nullptr) return false;
    qelchannel_reply* reply = nullptr;
    if (qelchannel_receive(Channel_, 0, &reply) != QELCHANNEL_OK) {
      if (RemainingMs() == 0) GiveUp();
      return false;
    }
    const bool ours = qelchannel_reply_id(reply) == kGreetingId;
    if (ours) Record(reply);
    qelchannel_reply_free(reply);
    if (ours) GiveUp();
    return ours;
  }

  bool Answered() const { return Answered_; }
  const std::string& PageSays() const { return PageSays_; }

 private:
  void Record(const qelchannel_reply* reply) {
    Answered_ = true;
    std::string content = "code=" + std::to_string(qelchannel_reply_code(reply)) + "\n";
    if (qelchannel_reply_count(reply) > 0) {
      const std::string value = ValueText(reply, 0);
      content += "value=" + value + "\n";
      PageSays_ = "Page says: " + value;
    } else {
      PageSays_ = "Page says nothing (code " + std::to_string(qelchannel_reply_code(reply)) + ")";
    }
    WriteWhole("page-reply.txt", content);
  }

  void GiveUp() {
    qelchannel_close(Channel_);
    Channel_ = nullptr;
  }

  qelchannel* Channel_ = nullptr;
  std::chrono::steady_clock::time_point Deadline_;
  bool Answered_ = false;
  std::string PageSays_;
};

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
  if (!WriteWhole("received-params.txt", "argc=" + std::to_string(argc) + "\n" + parameters)) return 2;

  if (parameters.find("webinfo=nowindow") != std::string::npos) return RunWithoutWindow();
  if (const long delay = DelayMs(parameters); delay > 0) std::this_thread::sleep_for(std::chrono::milliseconds(delay));

  const std::string title = IniValue("config.ini", "GameLaunch", "WndTitle");
  const std::string class_name = IniValue("config.ini", "GameLaunch", "WndClassName");
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return 1;
  XSetErrorHandler(IgnoreError);
  XSetIOErrorHandler(ConnectionLost);
  const TGameWindow game = OpenMainWindow(display, title, class_name);

  TPageGreeting greeting;
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
      if (!WriteWhole("closed.txt", "closed\n")) exit_code = 2;
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
