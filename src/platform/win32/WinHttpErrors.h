// Texts for WinHTTP's error numbers, which the service itself describes
// only through a message table that not every system carries.
#pragma once

#include <cstdint>
#include <string>

namespace qel {

std::string DescribeWinHttpError(int32_t number);

}  // namespace qel
