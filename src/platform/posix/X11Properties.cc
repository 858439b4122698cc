#include "platform/posix/X11Properties.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

namespace qel {
namespace {

// Longest property read, in 32-bit units: far beyond any title or class.
constexpr long kMostPropertyUnits = 64 * 1024;

// XGetWindowProperty's answer, freed with XFree.
class TPropertyValue {
 public:
  TPropertyValue(Display* display, Window window, Atom property, Atom type, long units) {
    if (XGetWindowProperty(display, window, property, 0, units, False, type, &Type_, &Format_, &Items_,
                           &BytesAfter_, &Data_) != Success) {
      Type_ = None;
      Data_ = nullptr;
    }
  }
  ~TPropertyValue() {
    if (Data_ != nullptr) XFree(Data_);
  }
  TPropertyValue(const TPropertyValue&) = delete;
  TPropertyValue& operator=(const TPropertyValue&) = delete;

  // Absent properties answer the type None.
  Atom Type() const { return Type_; }
  int Format() const { return Format_; }
  unsigned long Items() const { return Items_; }
  const unsigned char* Data() const { return Data_; }

 private:
  Atom Type_ = None;
  int Format_ = 0;
  unsigned long Items_ = 0;
  unsigned long BytesAfter_ = 0;
  unsigned char* Data_ = nullptr;
};

}  // namespace

std::optional<std::string> ReadTextProperty(Display* display, Window window, Atom property, Atom type) {
  const TPropertyValue value(display, window, property, type, kMostPropertyUnits);
  // A property of another type than asked for comes back with format 0.
  if (value.Type() == None || value.Format() != 8) return std::nullopt;
  if (value.Data() == nullptr) return std::string();
  return std::string(reinterpret_cast<const char*>(value.Data()), value.Items());
}

std::optional<uint32_t> ReadCardinalProperty(Display* display, Window window, Atom property) {
  const TPropertyValue value(display, window, property, XA_CARDINAL, 1);
  if (value.Type() != XA_CARDINAL || value.Format() != 32 || value.Items() < 1 || value.Data() == nullptr)
    return std::nullopt;
  // Xlib hands 32-bit items over as longs.
  return static_cast<uint32_t>(reinterpret_cast<const unsigned long*>(value.Data())[0]);
}

std::optional<std::string> ReadClassName(Display* display, Window window) {
  XClassHint hint{};
  if (XGetClassHint(display, window, &hint) == 0) return std::nullopt;
  std::optional<std::string> name;
  if (hint.res_class != nullptr) name = std::string(hint.res_class);
  if (hint.res_name != nullptr) XFree(hint.res_name);
  if (hint.res_class != nullptr) XFree(hint.res_class);
  return name;
}

std::optional<TX11Tree> QueryTree(Display* display, Window window) {
  Window root = None;
  Window parent = None;
  Window* children = nullptr;
  unsigned int count = 0;
  if (XQueryTree(display, window, &root, &parent, &children, &count) == 0) return std::nullopt;
  TX11Tree tree;
  tree.Parent = parent;
  if (children != nullptr) {
    tree.Children.assign(children, children + count);
    XFree(children);
  }
  return tree;
}

}  // namespace qel
