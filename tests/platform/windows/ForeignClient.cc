#include "ForeignClient.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <atomic>
#include <stdexcept>

#include "platform/Loop.h"

namespace qel::test {
namespace {

std::atomic<int> HostErrors{0};

int CountHostError(Display*, XErrorEvent*) {
  HostErrors.fetch_add(1);
  return 0;
}

std::string AtomName(Display* display, Atom atom) {
  if (atom == None) return {};
  char* name = XGetAtomName(display, atom);
  if (name == nullptr) return {};
  std::string text(name);
  XFree(name);
  return text;
}

}  // namespace

class TForeignClient::TImpl {
 public:
  TImpl() : Display_(XOpenDisplay(nullptr)) {
    if (Display_ == nullptr) throw std::runtime_error("no display for the foreign client");
  }
  ~TImpl() {
    if (HandlerInstalled_) XSetErrorHandler(PreviousHandler_);
    XCloseDisplay(Display_);
  }

  Display* Display_;
  bool HandlerInstalled_ = false;
  XErrorHandler PreviousHandler_ = nullptr;
};

TForeignClient::TForeignClient() : Impl_(std::make_unique<TImpl>()) {}
TForeignClient::~TForeignClient() = default;

TWindowHandle TForeignClient::Root() { return DefaultRootWindow(Impl_->Display_); }

TWindowHandle TForeignClient::MakeWindow(TWindowHandle parent, const TForeignLook& look, int width, int height) {
  Display* display = Impl_->Display_;
  const int screen = DefaultScreen(display);
  const Window window =
      XCreateSimpleWindow(display, parent != 0 ? static_cast<Window>(parent) : DefaultRootWindow(display), 0, 0,
                          static_cast<unsigned int>(width), static_cast<unsigned int>(height), 0,
                          BlackPixel(display, screen), WhitePixel(display, screen));
  const auto put_text = [&](Atom property, Atom type, const std::string& text) {
    XChangeProperty(display, window, property, type, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
  };
  if (look.WmName) put_text(XA_WM_NAME, XA_STRING, *look.WmName);
  if (look.NetWmName)
    put_text(XInternAtom(display, "_NET_WM_NAME", False), XInternAtom(display, "UTF8_STRING", False),
             *look.NetWmName);
  if (look.ClassName) {
    std::string res_name = "foreign";
    std::string res_class = *look.ClassName;
    XClassHint hint{res_name.data(), res_class.data()};
    XSetClassHint(display, window, &hint);
  }
  if (look.ProcessId) {
    const long pid = *look.ProcessId;
    XChangeProperty(display, window, XInternAtom(display, "_NET_WM_PID", False), XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(&pid), 1);
  }
  if (look.WmState) {
    const Atom wm_state = XInternAtom(display, "WM_STATE", False);
    const long state[2] = {NormalState, static_cast<long>(None)};
    XChangeProperty(display, window, wm_state, wm_state, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(state), 2);
  }
  XMapWindow(display, window);
  XSync(display, False);
  return window;
}

void TForeignClient::SetWmName(TWindowHandle window, const std::string& name) {
  XChangeProperty(Impl_->Display_, static_cast<Window>(window), XA_WM_NAME, XA_STRING, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(name.data()), static_cast<int>(name.size()));
  XSync(Impl_->Display_, False);
}

void TForeignClient::Destroy(TWindowHandle window) {
  XDestroyWindow(Impl_->Display_, static_cast<Window>(window));
  XSync(Impl_->Display_, False);
}

bool TForeignClient::IsMapped(TWindowHandle window) {
  XWindowAttributes attributes;
  if (XGetWindowAttributes(Impl_->Display_, static_cast<Window>(window), &attributes) == 0) return false;
  return attributes.map_state != IsUnmapped;
}

std::optional<TClientMessage> TForeignClient::NextClientMessage(int timeout_ms) {
  Display* display = Impl_->Display_;
  XEvent event;
  if (!RunLoopUntil([&] { return XCheckTypedEvent(display, ClientMessage, &event) == True; }, timeout_ms))
    return std::nullopt;
  return TClientMessage{AtomName(display, event.xclient.message_type),
                        AtomName(display, static_cast<Atom>(event.xclient.data.l[0]))};
}

void TForeignClient::InstallHostErrorHandler() {
  if (Impl_->HandlerInstalled_) return;
  Impl_->PreviousHandler_ = XSetErrorHandler(CountHostError);
  Impl_->HandlerInstalled_ = true;
  HostErrors.store(0);
}

int TForeignClient::HostHandlerErrors() const { return HostErrors.load(); }

void TForeignClient::MakeFailingRequest() {
  // Made here and destroyed at once: an id that names nothing.
  const Window gone = XCreateSimpleWindow(Impl_->Display_, DefaultRootWindow(Impl_->Display_), 0, 0, 1, 1, 0, 0, 0);
  XDestroyWindow(Impl_->Display_, gone);
  XMapWindow(Impl_->Display_, gone);
  XSync(Impl_->Display_, False);
}

}  // namespace qel::test
