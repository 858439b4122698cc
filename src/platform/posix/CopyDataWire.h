// How copy-data messages travel on Linux: one datagram on a Unix socket whose
// file lies in the user's private runtime folder (CopyDataSocketFile.h),
// named after the receiving window and the X display, since window ids are
// only unique per display. The datagram
// starts with TCopyDataHeader; a block up to kInlineCopyData bytes follows it
// in the datagram, a larger one travels in a memory file whose descriptor
// the datagram carries (SCM_RIGHTS), exactly `Size` bytes long.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/WindowHandle.h"

namespace qel {

constexpr size_t kInlineCopyData = 32 * 1024;

#pragma pack(push, 1)
struct TCopyDataHeader {
  uint64_t Sender;  // the sender's window
  uint32_t Tag;
  uint32_t Size;  // bytes of the block
};
#pragma pack(pop)
static_assert(sizeof(TCopyDataHeader) == 16);
static_assert(offsetof(TCopyDataHeader, Sender) == 0);
static_assert(offsetof(TCopyDataHeader, Tag) == 8);
static_assert(offsetof(TCopyDataHeader, Size) == 12);

// The file name of a window's listening socket in the runtime folder:
// depends on $DISPLAY (screen number ignored) and the window.
std::string CopyDataSocketName(TWindowHandle window);

}  // namespace qel
