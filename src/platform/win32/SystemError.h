// The system's own words for an error code.
#pragma once

#include <cstdint>
#include <string>

namespace qel::win32 {

// The text for `code` (a GetLastError value), without the final line break,
// or "error <code>" when the system has none.
std::string SystemErrorText(uint32_t code);
// The same for the calling thread's last error.
std::string LastErrorText();

}  // namespace qel::win32
