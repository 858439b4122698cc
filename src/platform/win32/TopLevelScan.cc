#include "platform/win32/TopLevelScan.h"

#include <algorithm>

namespace qel {
namespace {

// Longer titles are cut: the search compares far fewer characters.
constexpr int kLongestTitle = 65535;
// A class name has at most 256 characters.
constexpr int kLongestClassName = 256;

BOOL CALLBACK CollectWindow(HWND window, LPARAM list) {
  try {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
  } catch (...) {
    return FALSE;  // out of memory: the windows so far are the answer
  }
}

}  // namespace

std::string ReadWindowTitle(HWND window) {
  const int length = std::clamp(GetWindowTextLengthA(window), 0, kLongestTitle);
  if (length == 0) return {};
  std::string title(static_cast<size_t>(length) + 1, '\0');
  const int read = GetWindowTextA(window, title.data(), static_cast<int>(title.size()));
  title.resize(static_cast<size_t>(std::max(read, 0)));
  return title;
}

std::string ReadWindowClassName(HWND window) {
  char name[kLongestClassName + 1] = {};
  const int read = GetClassNameA(window, name, sizeof name);
  return std::string(name, static_cast<size_t>(std::max(read, 0)));
}

uint32_t ReadWindowProcessId(HWND window) {
  DWORD process = 0;
  if (GetWindowThreadProcessId(window, &process) == 0) return 0;
  return process;
}

TTopLevelScan ScanTopLevelWindows() {
  TTopLevelScan scan;
  EnumWindows(&CollectWindow, reinterpret_cast<LPARAM>(&scan.Windows));
  for (HWND window : scan.Windows)
    scan.Facts[window] = {ReadWindowTitle(window), ReadWindowClassName(window), ReadWindowProcessId(window)};
  return scan;
}

}  // namespace qel
