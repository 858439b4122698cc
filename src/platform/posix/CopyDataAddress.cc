#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "platform/posix/CopyDataWire.h"

namespace qel {
namespace {

// Room for the display part of a name: with "/proc/self/fd/<fd>/" before it
// the whole still fits sockaddr_un's 108-byte path.
constexpr size_t kLongestDisplayPart = 48;

// ":0.0" and ":0" are the same server; the screen does not matter here.
std::string_view WithoutScreen(std::string_view display) {
  const size_t colon = display.rfind(':');
  if (colon == std::string_view::npos) return display;
  const size_t dot = display.find('.', colon);
  return dot == std::string_view::npos ? display : display.substr(0, dot);
}

std::string DisplayPart() {
  const char* env = std::getenv("DISPLAY");
  std::string_view display = WithoutScreen(env != nullptr ? env : "");
  if (display.empty()) return "-";
  if (display.size() <= kLongestDisplayPart) return std::string(display);
  // FNV-1a: a long name still gives a short, stable part.
  uint64_t hash = 14695981039346656037u;
  for (unsigned char c : display) hash = (hash ^ c) * 1099511628211u;
  char text[24];
  std::snprintf(text, sizeof text, "#%016llx", static_cast<unsigned long long>(hash));
  return text;
}

}  // namespace

std::string CopyDataSocketName(TWindowHandle window) {
  char tail[64];
  std::snprintf(tail, sizeof tail, ".%llx", static_cast<unsigned long long>(window));
  return "qel-copydata." + DisplayPart() + tail;
}

}  // namespace qel
