// The sample game's init module. InitGame opens the game's window inside the
// window it is handed, as a game that draws into the browser's page would,
// and hands the window back. The window lives on a thread of the module's
// own with a display connection of its own, which serves it until the
// window is asked to close (WM_DELETE_WINDOW), is destroyed with its parent,
// or the module is unloaded.
//   RunInfo containing "initfail"   answer 7 and do nothing else
//   no display, or a bad parent     answer 9
// The game's records first: Xlib defines macros (Status, None, Bool) that
// would otherwise rewrite them.
#include "launch/GameModules.h"
#include "platform/Export.h"

#include <X11/Xlib.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <string_view>
#include <thread>
#include <vector>

namespace {

constexpr int32_t kInitRefused = 7;
constexpr int32_t kNoWindow = 9;

// Xlib's error handler is process-wide and this module lives in the
// browser's process: errors of this module's own connection are counted
// while a window is made, all others go to the handler that was there, which
// is put back afterwards. InitGame blocks its caller while the trap is set.
std::atomic<Display*> g_trapped_display{nullptr};
std::atomic<XErrorHandler> g_previous_handler{nullptr};
std::atomic<int> g_trapped_errors{0};

int OnXError(Display* display, XErrorEvent* error) {
  if (display == g_trapped_display.load()) {
    g_trapped_errors.fetch_add(1);
    return 0;
  }
  const XErrorHandler previous = g_previous_handler.load();
  return previous != nullptr ? previous(display, error) : 0;
}

unsigned long FieldColour(Display* display) {
  XColor colour{};
  colour.red = 0x2000;
  colour.green = 0x6000;
  colour.blue = 0x3a00;
  colour.flags = DoRed | DoGreen | DoBlue;
  const int screen = DefaultScreen(display);
  if (XAllocColor(display, DefaultColormap(display, screen), &colour) == 0) return BlackPixel(display, screen);
  return colour.pixel;
}

// Makes the window and maps it; None when the server refused (a parent that
// does not exist).
Window MakeWindow(Display* display, Window parent, int32_t width, int32_t height, Atom wm_delete_window) {
  g_trapped_display.store(display);
  g_previous_handler.store(XSetErrorHandler(OnXError));
  const int errors_before = g_trapped_errors.load();
  const int screen = DefaultScreen(display);
  const Window window = XCreateSimpleWindow(display, parent, 0, 0, static_cast<unsigned int>(std::max(width, 1)),
                                            static_cast<unsigned int>(std::max(height, 1)), 0,
                                            WhitePixel(display, screen), FieldColour(display));
  XSetWMProtocols(display, window, &wm_delete_window, 1);
  XSelectInput(display, window, StructureNotifyMask);
  XMapWindow(display, window);
  XSync(display, False);
  const bool failed = g_trapped_errors.load() != errors_before;
  XSetErrorHandler(g_previous_handler.load());
  g_trapped_display.store(nullptr);
  return failed ? None : window;
}

// Serves the window until it is asked to close or destroyed, or until
// `wake_fd` becomes readable (the module is being unloaded). It makes no
// request here: the window may vanish with its parent at any moment, and an
// error would reach the browser's handler (or Xlib's, which ends the process).
// The server paints the window's background by itself.
void ServeWindow(Display* display, Window window, Atom wm_protocols, Atom wm_delete_window, int wake_fd) {
  bool serving = true;
  while (serving) {
    while (serving && XPending(display) > 0) {
      XEvent event;
      XNextEvent(display, &event);
      if (event.type == ClientMessage && event.xclient.message_type == wm_protocols &&
          static_cast<Atom>(event.xclient.data.l[0]) == wm_delete_window)
        serving = false;
      else if (event.type == DestroyNotify && event.xdestroywindow.window == window)
        serving = false;
    }
    if (!serving) break;
    pollfd watched[2] = {{ConnectionNumber(display), POLLIN, 0}, {wake_fd, POLLIN, 0}};
    if (poll(watched, 2, -1) < 0 && errno != EINTR) break;
    if (watched[1].revents != 0) break;
  }
}

// A thread that makes one game window and serves it. (No std::promise here:
// its shared state brings a symbol that GCC marks unique, and a library with
// one can never be unloaded.)
class TGameWindowThread {
 public:
  TGameWindowThread() {
    int ends[2] = {-1, -1};
    if (pipe2(ends, O_CLOEXEC) == 0) {
      WakeRead_ = ends[0];
      WakeWrite_ = ends[1];
    }
  }
  ~TGameWindowThread() {
    if (Thread_.joinable()) {
      const char wake = 1;
      // A full pipe is awake enough.
      [[maybe_unused]] const ssize_t written = write(WakeWrite_, &wake, 1);
      Thread_.join();
    }
    if (WakeRead_ >= 0) close(WakeRead_);
    if (WakeWrite_ >= 0) close(WakeWrite_);
  }
  TGameWindowThread(const TGameWindowThread&) = delete;
  TGameWindowThread& operator=(const TGameWindowThread&) = delete;

  // The window, once the thread has made it; None when it could not.
  Window Start(Window parent, int32_t width, int32_t height) {
    if (WakeRead_ < 0) return None;
    Thread_ = std::thread(&TGameWindowThread::Run, this, parent, width, height);
    std::unique_lock<std::mutex> hold(Lock_);
    Handed_.wait(hold, [this] { return Ready_; });
    return Window_;
  }

 private:
  void HandOver(Window window) {
    std::lock_guard<std::mutex> hold(Lock_);
    Window_ = window;
    Ready_ = true;
    Handed_.notify_one();
  }

  void Run(Window parent, int32_t width, int32_t height) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
      HandOver(None);
      return;
    }
    const Atom wm_protocols = XInternAtom(display, "WM_PROTOCOLS", False);
    const Atom wm_delete_window = XInternAtom(display, "WM_DELETE_WINDOW", False);
    const Window window = MakeWindow(display, parent, width, height, wm_delete_window);
    HandOver(window);
    if (window != None) ServeWindow(display, window, wm_protocols, wm_delete_window, WakeRead_);
    // Closing the connection destroys the window with it, if it is still
    // there, without a request that could fail on a window already gone.
    XCloseDisplay(display);
  }

  std::thread Thread_;
  int WakeRead_ = -1;
  int WakeWrite_ = -1;
  std::mutex Lock_;
  std::condition_variable Handed_;
  bool Ready_ = false;
  Window Window_ = None;
};

// Every window thread is stopped and joined when the module is unloaded, so
// that none runs on in code that is gone.
struct TGameWindows {
  std::mutex Lock;
  std::vector<std::unique_ptr<TGameWindowThread>> All;
} g_windows;

bool Mentions(const char* field, std::size_t size, std::string_view word) {
  return std::string_view(field, strnlen(field, size)).find(word) != std::string_view::npos;
}

}  // namespace

QEL_EXPORT int32_t QEL_MODULECALL InitGame(qel::TInitGameIn* in, qel::TInitGameOut* out) {
  if (Mentions(in->RunInfo, sizeof in->RunInfo, "initfail")) return kInitRefused;
  auto thread = std::make_unique<TGameWindowThread>();
  const Window window = thread->Start(static_cast<Window>(in->ParentWindow), in->ParentWidth, in->ParentHeight);
  if (window == None) return kNoWindow;
  out->GameWindow = static_cast<uint32_t>(window);
  std::lock_guard<std::mutex> hold(g_windows.Lock);
  g_windows.All.push_back(std::move(thread));
  return 0;
}
