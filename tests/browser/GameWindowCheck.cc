// Checks from outside the browser, on the X server, that a game's window sits
// inside the browser's window over the plug-in element:
//   game-window-check BROWSER_WINDOW CLASS "LEFT TOP WIDTH HEIGHT"
// The one window of WM_CLASS class CLASS must be a viewable descendant of
// BROWSER_WINDOW (an X id, decimal or 0x-hexadecimal) whose place relative to
// that window and size are the box given (the element's
// getBoundingClientRect(), whose origin is the top-left of the view, which
// fills the browser's window). Prints what it found; exit 0 when all holds.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Box {
  int left = 0, top = 0, width = 0, height = 0;
};

std::string ClassOf(Display* display, Window window) {
  XClassHint hint{};
  if (XGetClassHint(display, window, &hint) == 0) return {};
  std::string name = hint.res_class != nullptr ? hint.res_class : "";
  if (hint.res_name != nullptr) XFree(hint.res_name);
  if (hint.res_class != nullptr) XFree(hint.res_class);
  return name;
}

void CollectOfClass(Display* display, Window window, const std::string& wanted, std::vector<Window>& found) {
  if (ClassOf(display, window) == wanted) found.push_back(window);
  Window root = 0, parent = 0;
  Window* children = nullptr;
  unsigned int count = 0;
  if (XQueryTree(display, window, &root, &parent, &children, &count) == 0) return;
  for (unsigned int i = 0; i < count; ++i) CollectOfClass(display, children[i], wanted, found);
  if (children != nullptr) XFree(children);
}

std::string Hex(Window window) {
  std::ostringstream text;
  text << "0x" << std::hex << window;
  return text.str();
}

// The window and its ancestors up to `stop` (or the root).
std::string Chain(Display* display, Window window, Window stop) {
  std::string text = Hex(window);
  while (window != stop) {
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(display, window, &root, &parent, &children, &count) == 0) break;
    if (children != nullptr) XFree(children);
    if (parent == 0 || parent == root) {
      text += " < root";
      break;
    }
    window = parent;
    text += " < " + Hex(window);
  }
  return text;
}

int Fail(const std::string& why) {
  std::fprintf(stderr, "game-window-check: %s\n", why.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) return Fail("usage: game-window-check BROWSER_WINDOW CLASS \"LEFT TOP WIDTH HEIGHT\"");
  const Window browser = std::strtoul(argv[1], nullptr, 0);
  const std::string wanted = argv[2];
  Box expected;
  std::istringstream box_text(argv[3]);
  if (browser == 0 || !(box_text >> expected.left >> expected.top >> expected.width >> expected.height))
    return Fail("bad arguments");

  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return Fail("no X display");
  const Window root = DefaultRootWindow(display);

  std::vector<Window> inside;
  CollectOfClass(display, browser, wanted, inside);
  if (inside.size() != 1) {
    std::vector<Window> anywhere;
    CollectOfClass(display, root, wanted, anywhere);
    std::string where;
    for (Window window : anywhere) where += " [" + Chain(display, window, root) + "]";
    return Fail(std::to_string(inside.size()) + " windows of class " + wanted +
                " inside the browser's window " + Hex(browser) +
                "; on the whole screen:" + (where.empty() ? std::string(" none") : where));
  }
  const Window game = inside.front();

  XWindowAttributes attributes{};
  XGetWindowAttributes(display, game, &attributes);
  int game_x = 0, game_y = 0, browser_x = 0, browser_y = 0;
  Window child = 0;
  XTranslateCoordinates(display, game, root, 0, 0, &game_x, &game_y, &child);
  XTranslateCoordinates(display, browser, root, 0, 0, &browser_x, &browser_y, &child);
  const Box actual{game_x - browser_x, game_y - browser_y, attributes.width, attributes.height};
  std::printf("game-window-check: %s at %d,%d (screen %d,%d) size %dx%d, %s; the element: %d,%d size %dx%d\n",
              Chain(display, game, browser).c_str(), actual.left, actual.top, game_x, game_y, actual.width,
              actual.height, attributes.map_state == IsViewable ? "viewable" : "not viewable", expected.left,
              expected.top, expected.width, expected.height);
  XCloseDisplay(display);

  if (attributes.map_state != IsViewable) return Fail("the game's window is not viewable");
  if (actual.left != expected.left || actual.top != expected.top || actual.width != expected.width ||
      actual.height != expected.height)
    return Fail("the game's window is not where the element is");
  return 0;
}
