// Reading the properties by which windows describe themselves. Every read
// is one round trip; a window that has gone away reads as having nothing
// (callers hold a TX11ErrorTrap so that the failure stays quiet).
#pragma once

#include <X11/Xlib.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qel {

// The property's bytes when it is 8-bit data of the given type
// (AnyPropertyType: of any type); nothing when absent or of another kind.
std::optional<std::string> ReadTextProperty(Display* display, Window window, Atom property, Atom type);
// The first value of a 32-bit CARDINAL property.
std::optional<uint32_t> ReadCardinalProperty(Display* display, Window window, Atom property);
// The class part of WM_CLASS.
std::optional<std::string> ReadClassName(Display* display, Window window);

struct TX11Tree {
  Window Parent = None;
  std::vector<Window> Children;  // bottom to top in stacking order
};
// Nothing when the window does not exist.
std::optional<TX11Tree> QueryTree(Display* display, Window window);

}  // namespace qel
