#include "platform/posix/X11Connection.h"

#include <X11/Xatom.h>

#include <iterator>

namespace qel {
namespace {

class TOwnedConnection {
 public:
  TOwnedConnection() {
    Connection_.Server = XOpenDisplay(nullptr);
    if (Connection_.Server == nullptr) return;
    // XInternAtoms takes non-const names.
    char wm_state[] = "WM_STATE";
    char wm_protocols[] = "WM_PROTOCOLS";
    char wm_delete_window[] = "WM_DELETE_WINDOW";
    char net_wm_name[] = "_NET_WM_NAME";
    char net_wm_pid[] = "_NET_WM_PID";
    char utf8_string[] = "UTF8_STRING";
    char* names[] = {wm_state, wm_protocols, wm_delete_window, net_wm_name, net_wm_pid, utf8_string};
    Atom atoms[std::size(names)] = {};
    // One round trip for all of them.
    XInternAtoms(Connection_.Server, names, static_cast<int>(std::size(names)), False, atoms);
    TX11Atoms& named = Connection_.Atoms;
    named.WmState = atoms[0];
    named.WmProtocols = atoms[1];
    named.WmDeleteWindow = atoms[2];
    named.NetWmName = atoms[3];
    named.NetWmPid = atoms[4];
    named.Utf8String = atoms[5];
  }
  // At unload: the browser keeps running, so the connection must not outlive
  // the library. Windows made on it go with it, as the server's rules say.
  ~TOwnedConnection() {
    if (Connection_.Server != nullptr) XCloseDisplay(Connection_.Server);
  }
  TOwnedConnection(const TOwnedConnection&) = delete;
  TOwnedConnection& operator=(const TOwnedConnection&) = delete;

  const TX11Connection& Get() const { return Connection_; }

 private:
  TX11Connection Connection_;
};

}  // namespace

const TX11Connection& ProcessX11Connection() {
  static const TOwnedConnection connection;
  return connection.Get();
}

}  // namespace qel
