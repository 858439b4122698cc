// The Windows choice of fallback install roots, with the question of each
// drive's type handed in so that tests can give any set of drives.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace qel::win32 {

// GetDriveTypeA's answer for a fixed disk.
inline constexpr unsigned kFixedDrive = 3;

// The roots "D:\" to "O:\", in that order, whose type `drive_type` answers
// as kFixedDrive. C: is the system's and never among them.
std::vector<std::string> FixedDriveRoots(const std::function<unsigned(const std::string& root)>& drive_type);

}  // namespace qel::win32
