// The top-level windows with what the window search asks of each, read at
// once, so that answers within one enumeration agree with each other.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace qel {

struct TWindowFacts {
  std::string Title;
  std::string ClassName;
  uint32_t ProcessId = 0;
};

struct TTopLevelScan {
  std::vector<HWND> Windows;  // topmost first
  std::map<HWND, TWindowFacts> Facts;
};

TTopLevelScan ScanTopLevelWindows();

std::string ReadWindowTitle(HWND window);
std::string ReadWindowClassName(HWND window);
uint32_t ReadWindowProcessId(HWND window);

}  // namespace qel
