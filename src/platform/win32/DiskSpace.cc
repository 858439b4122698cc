#include "platform/DiskSpace.h"

#include <windows.h>

#include "platform/win32/DriveRoots.h"
#include "platform/win32/NoErrorBoxes.h"

namespace qel {

static_assert(win32::kFixedDrive == DRIVE_FIXED);

std::optional<uint64_t> BytesAvailableToCaller(const std::string& folder) {
  // An empty removable drive fails the call instead of asking for a disk.
  win32::TNoErrorBoxes no_boxes;
  ULARGE_INTEGER available{};
  if (!GetDiskFreeSpaceExA(folder.c_str(), &available, nullptr, nullptr)) return std::nullopt;
  return available.QuadPart;
}

namespace win32 {

std::vector<std::string> FixedDriveRoots(const std::function<unsigned(const std::string& root)>& drive_type) {
  std::vector<std::string> roots;
  for (char drive = 'D'; drive <= 'O' && roots.size() < kMaxFallbackRoots; ++drive) {
    std::string root{drive, ':', '\\'};
    if (drive_type(root) == kFixedDrive) roots.push_back(std::move(root));
  }
  return roots;
}

}  // namespace win32

std::vector<std::string> FallbackInstallRoots() {
  return win32::FixedDriveRoots([](const std::string& root) { return GetDriveTypeA(root.c_str()); });
}

}  // namespace qel
