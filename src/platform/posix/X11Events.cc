#include "platform/posix/X11Events.h"

#include <glib.h>

#include <map>
#include <utility>

#include "platform/LastResort.h"

namespace qel {
namespace {

// A loop source over the connection: ready when the socket is readable or
// when Xlib has queued events already (a round trip of another call reads
// events off the socket and keeps them, so the socket alone does not tell).
class TX11EventSource {
 public:
  explicit TX11EventSource(Display* display) : Display_(display) {
    static GSourceFuncs funcs = {&Prepare, &Check, &Dispatch, nullptr, nullptr, nullptr};
    Source_ = g_source_new(&funcs, sizeof(TGSource));
    reinterpret_cast<TGSource*>(Source_)->Owner = this;
    g_source_set_name(Source_, "qel-x11");
    Poll_.fd = ConnectionNumber(display);
    Poll_.events = G_IO_IN | G_IO_HUP | G_IO_ERR;
    g_source_add_poll(Source_, &Poll_);
    g_source_attach(Source_, nullptr);
  }
  // At unload, before the connection closes.
  ~TX11EventSource() {
    g_source_destroy(Source_);
    g_source_unref(Source_);
  }
  TX11EventSource(const TX11EventSource&) = delete;
  TX11EventSource& operator=(const TX11EventSource&) = delete;

  std::map<Window, TExposureHandler> Handlers;

 private:
  struct TGSource {
    GSource Base;
    TX11EventSource* Owner;
  };
  static TX11EventSource& OwnerOf(GSource* source) { return *reinterpret_cast<TGSource*>(source)->Owner; }

  static gboolean Prepare(GSource* source, gint* timeout) {
    *timeout = -1;
    return XEventsQueued(OwnerOf(source).Display_, QueuedAlready) > 0;
  }
  static gboolean Check(GSource* source) {
    TX11EventSource& self = OwnerOf(source);
    // A hung-up connection is dispatched too, so that Xlib reports it, rather
    // than left to wake the loop again at once.
    return (self.Poll_.revents & (G_IO_IN | G_IO_HUP | G_IO_ERR)) != 0 ||
           XEventsQueued(self.Display_, QueuedAlready) > 0;
  }
  static gboolean Dispatch(GSource* source, GSourceFunc, gpointer) {
    OwnerOf(source).ReadEvents();
    return G_SOURCE_CONTINUE;
  }

  void ReadEvents() {
    // Only what has arrived: XPending reads the socket without blocking.
    while (XPending(Display_) > 0) {
      XEvent event;
      XNextEvent(Display_, &event);
      if (event.type != Expose) continue;
      const auto found = Handlers.find(event.xexpose.window);
      if (found == Handlers.end()) continue;
      // A copy: the handler may stop watching its own window.
      const TExposureHandler handler = found->second;
      try {
        handler(TRect::OfSize(event.xexpose.x, event.xexpose.y, event.xexpose.width, event.xexpose.height));
      } catch (...) {
        ReportCurrentException();
      }
    }
  }

  Display* Display_;
  GSource* Source_ = nullptr;
  GPollFD Poll_{};
};

TX11EventSource& EventSource(Display* display) {
  static TX11EventSource source(display);
  return source;
}

}  // namespace

void WatchExposures(Display* display, Window window, TExposureHandler handler) {
  TX11EventSource& source = EventSource(display);
  if (handler) {
    XSelectInput(display, window, ExposureMask);
    source.Handlers[window] = std::move(handler);
  } else {
    XSelectInput(display, window, NoEventMask);
    source.Handlers.erase(window);
  }
}

}  // namespace qel
