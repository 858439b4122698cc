#include "platform/PluginWindowing.h"

namespace qel {
namespace {

// NPNToolkitType: GTK 2; browsers on GTK 3 still answer 2, a few answer 3.
constexpr uint32_t kToolkitGtk2 = 2;
constexpr uint32_t kToolkitGtk3 = 3;

}  // namespace

bool BrowserGivesPluginWindows(bool supports_xembed, uint32_t toolkit) {
  return supports_xembed && (toolkit == kToolkitGtk2 || toolkit == kToolkitGtk3);
}

}  // namespace qel
