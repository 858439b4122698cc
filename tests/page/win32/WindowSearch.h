// Finding a window below another one, at any depth, by its title and class.
#pragma once

#include <string>

#include "platform/WindowHandle.h"

namespace qel::test {

// 0 when there is none.
TWindowHandle FindWindowBelow(TWindowHandle ancestor, const std::string& title, const std::string& class_name);

}  // namespace qel::test
