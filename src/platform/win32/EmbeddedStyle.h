// The style a top-level window takes when it becomes the child of another
// window: no frame, caption or system menu of its own, and no taskbar button.
#pragma once

#include <cstdint>

namespace qel {

uint32_t EmbeddedStyle(uint32_t style);
uint32_t EmbeddedExStyle(uint32_t ex_style);
// Back to top-level: a pop-up instead of a child; the frame stays off.
uint32_t TopLevelStyle(uint32_t style);

}  // namespace qel
