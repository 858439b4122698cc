#include "platform/posix/X11TopLevelScan.h"

#include <X11/Xlib-xcb.h>
#include <xcb/xcb.h>
#include <xcb/xproto.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string_view>

#include "platform/AnsiText.h"

namespace qel {
namespace {

// Longest property read, in 32-bit units: far beyond any title or class.
constexpr uint32_t kMostPropertyUnits = 64 * 1024;

struct TFreeReply {
  void operator()(void* reply) const { std::free(reply); }
};
using TTreeReply = std::unique_ptr<xcb_query_tree_reply_t, TFreeReply>;
using TPropertyReply = std::unique_ptr<xcb_get_property_reply_t, TFreeReply>;

// Errors come back in place of the reply (never to Xlib's error handler);
// for a window that has gone they mean "nothing there".
TTreeReply TreeReply(xcb_connection_t* xcb, xcb_query_tree_cookie_t cookie) {
  xcb_generic_error_t* error = nullptr;
  TTreeReply reply(xcb_query_tree_reply(xcb, cookie, &error));
  std::free(error);
  return reply;
}

TPropertyReply PropertyReply(xcb_connection_t* xcb, xcb_get_property_cookie_t cookie) {
  xcb_generic_error_t* error = nullptr;
  TPropertyReply reply(xcb_get_property_reply(xcb, cookie, &error));
  std::free(error);
  return reply;
}

std::vector<Window> Children(const xcb_query_tree_reply_t* tree) {
  if (tree == nullptr) return {};
  const xcb_window_t* children = xcb_query_tree_children(tree);
  return std::vector<Window>(children, children + xcb_query_tree_children_length(tree));
}

bool Present(const TPropertyReply& reply) { return reply && reply->type != XCB_NONE; }

std::optional<std::string> Text(const TPropertyReply& reply) {
  if (!Present(reply) || reply->format != 8) return std::nullopt;
  return std::string(static_cast<const char*>(xcb_get_property_value(reply.get())),
                     static_cast<size_t>(xcb_get_property_value_length(reply.get())));
}

// The class part of WM_CLASS: the second of its NUL-ended strings.
std::string ClassPart(const TPropertyReply& reply) {
  const std::optional<std::string> both = Text(reply);
  if (!both) return {};
  const size_t end_of_name = both->find('\0');
  if (end_of_name == std::string::npos) return {};
  const std::string_view rest = std::string_view(*both).substr(end_of_name + 1);
  return std::string(rest.substr(0, rest.find('\0')));
}

uint32_t FirstCardinal(const TPropertyReply& reply) {
  if (!Present(reply) || reply->type != XCB_ATOM_CARDINAL || reply->format != 32 || reply->value_len < 1) return 0;
  uint32_t value = 0;
  std::memcpy(&value, xcb_get_property_value(reply.get()), sizeof value);
  return value;
}

// Which of the windows carry WM_STATE, the mark of a window manager's client.
std::vector<bool> CarryState(xcb_connection_t* xcb, const std::vector<Window>& windows, Atom wm_state) {
  std::vector<xcb_get_property_cookie_t> asked;
  asked.reserve(windows.size());
  for (const Window window : windows)
    asked.push_back(xcb_get_property(xcb, 0, static_cast<xcb_window_t>(window), static_cast<xcb_atom_t>(wm_state),
                                     XCB_GET_PROPERTY_TYPE_ANY, 0, 0));
  std::vector<bool> carry;
  carry.reserve(windows.size());
  for (const xcb_get_property_cookie_t cookie : asked) carry.push_back(Present(PropertyReply(xcb, cookie)));
  return carry;
}

std::vector<std::vector<Window>> ChildrenOfAll(xcb_connection_t* xcb, const std::vector<Window>& windows) {
  std::vector<xcb_query_tree_cookie_t> asked;
  asked.reserve(windows.size());
  for (const Window window : windows) asked.push_back(xcb_query_tree(xcb, static_cast<xcb_window_t>(window)));
  std::vector<std::vector<Window>> children;
  children.reserve(windows.size());
  for (const xcb_query_tree_cookie_t cookie : asked) children.push_back(Children(TreeReply(xcb, cookie).get()));
  return children;
}

// A root child without WM_STATE that is still looking for the client
// inside it, one level of its tree at a time.
struct TFrameSearch {
  size_t Slot;                 // its place in the list of top-level windows
  std::vector<Window> Level;  // the windows of the level to look below next
};

// Replaces each frame in `windows` by the client inside it: the shallowest
// descendant with WM_STATE, the lowest in stacking order among those of its
// depth. All frames are searched together, a level at a time, with two
// round trips per level; a window with no client inside stands for itself
// (no window manager runs).
void FindClients(xcb_connection_t* xcb, std::vector<Window>& windows, Atom wm_state) {
  const std::vector<bool> managed = CarryState(xcb, windows, wm_state);
  std::vector<TFrameSearch> searches;
  for (size_t slot = 0; slot < windows.size(); ++slot)
    if (!managed[slot]) searches.push_back({slot, {windows[slot]}});

  while (!searches.empty()) {
    std::vector<Window> parents;
    for (const TFrameSearch& search : searches) parents.insert(parents.end(), search.Level.begin(), search.Level.end());
    const std::vector<std::vector<Window>> children = ChildrenOfAll(xcb, parents);
    std::vector<Window> below;
    for (const std::vector<Window>& some : children) below.insert(below.end(), some.begin(), some.end());
    const std::vector<bool> carry = CarryState(xcb, below, wm_state);

    std::vector<TFrameSearch> deeper;
    size_t parent_at = 0;
    size_t below_at = 0;
    for (TFrameSearch& search : searches) {
      std::vector<Window> next_level;
      std::optional<Window> client;
      for (size_t i = 0; i < search.Level.size(); ++i, ++parent_at) {
        for (const Window child : children[parent_at]) {
          if (!client && carry[below_at]) client = child;
          next_level.push_back(child);
          ++below_at;
        }
      }
      if (client)
        windows[search.Slot] = *client;
      else if (!next_level.empty())
        deeper.push_back({search.Slot, std::move(next_level)});
    }
    searches = std::move(deeper);
  }
}

void ReadFacts(xcb_connection_t* xcb, const TX11Connection& connection, TX11TopLevelScan& scan) {
  struct TQuestions {
    xcb_get_property_cookie_t NetWmName, WmName, WmClass, NetWmPid;
  };
  const TX11Atoms& atoms = connection.Atoms;
  const auto ask = [&](Window window, Atom property, Atom type, uint32_t units) {
    return xcb_get_property(xcb, 0, static_cast<xcb_window_t>(window), static_cast<xcb_atom_t>(property),
                            static_cast<xcb_atom_t>(type), 0, units);
  };
  std::vector<TQuestions> asked;
  asked.reserve(scan.Windows.size());
  for (const Window window : scan.Windows)
    asked.push_back({ask(window, atoms.NetWmName, atoms.Utf8String, kMostPropertyUnits),
                     ask(window, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, kMostPropertyUnits),
                     ask(window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, kMostPropertyUnits),
                     ask(window, atoms.NetWmPid, XCB_ATOM_CARDINAL, 1)});
  for (size_t i = 0; i < asked.size(); ++i) {
    TX11WindowFacts facts;
    const std::optional<std::string> utf8 = Text(PropertyReply(xcb, asked[i].NetWmName));
    // The old name is taken for 8-bit text as it is.
    const std::optional<std::string> old = Text(PropertyReply(xcb, asked[i].WmName));
    facts.Title = utf8 ? Utf8ToAnsi(*utf8) : old.value_or(std::string());
    facts.ClassName = ClassPart(PropertyReply(xcb, asked[i].WmClass));
    facts.ProcessId = FirstCardinal(PropertyReply(xcb, asked[i].NetWmPid));
    scan.Facts.emplace(scan.Windows[i], std::move(facts));
  }
}

}  // namespace

TX11TopLevelScan ScanTopLevelWindows(const TX11Connection& connection) {
  TX11TopLevelScan scan;
  if (connection.Server == nullptr) return scan;
  // The same connection as Xlib's: XCB sends what Xlib still holds first.
  xcb_connection_t* xcb = XGetXCBConnection(connection.Server);
  const auto root_window = static_cast<xcb_window_t>(DefaultRootWindow(connection.Server));
  const TTreeReply root = TreeReply(xcb, xcb_query_tree(xcb, root_window));
  scan.Windows = Children(root.get());
  std::reverse(scan.Windows.begin(), scan.Windows.end());
  FindClients(xcb, scan.Windows, connection.Atoms.WmState);
  ReadFacts(xcb, connection, scan);
  return scan;
}

}  // namespace qel
