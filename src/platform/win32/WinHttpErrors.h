// Texts for WinHTTP's error numbers, which the service itself describes
// only through a message table that not every system carries.
#pragma once

#include <cstdint>
#include <string>

namespace qel {

std::string DescribeWinHttpError(int32_t number);
// The number a failure is reported with: some WinHTTP builds pass on the
// socket's own number, which callers would not know.
int32_t HttpErrorNumberOf(unsigned long error);

}  // namespace qel
