// Failures of Win32 calls, told in the system's own words.
#pragma once

#include <string>

namespace qel {

// The system's message for an error code (GetLastError), without the line
// break that ends it; "error <code>" when the system has none.
std::string SystemErrorText(unsigned long code);
// The same for the calling thread's last error.
std::string LastErrorText();

// Raises EQelError "<what> <subject>: <system's message>".
[[noreturn]] void RaiseSystemError(const std::string& what, const std::string& subject,
                                   unsigned long code);

}  // namespace qel
