// The sample game client's files and parameters, the same on every system.
#pragma once

#include <string>
#include <string_view>

namespace sample {

// The first value of the key in the section of an ini file; section and key
// without regard to letter case. Empty when there is none.
std::string IniValue(const std::string& path, std::string_view section, std::string_view key);

// Written whole under another name first, so that whoever sees the file sees
// all of it.
bool WriteWhole(const std::string& path, const std::string& content);

// The pause that "webinfo=delayms:N" in the parameter string asks for; 0 when
// it asks for none.
long DelayMs(const std::string& parameters);
bool AsksForNoWindow(const std::string& parameters);

}  // namespace sample
