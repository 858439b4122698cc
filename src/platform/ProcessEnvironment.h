// The process's environment variables. Changing them is not safe while other
// threads read the environment; callers serialise their changes.
#pragma once

#include <optional>
#include <string>

namespace qel {

// What separates the folders of the program search path.
#if defined(_WIN32)
inline constexpr char kSearchPathSeparator = ';';
#else
inline constexpr char kSearchPathSeparator = ':';
#endif

std::optional<std::string> ReadEnvironmentVariable(const std::string& name);
// Raises EQelError when the variable cannot be set.
void WriteEnvironmentVariable(const std::string& name, const std::string& value);

}  // namespace qel
