#include "platform/LastResortOutput.h"

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <mutex>
#include <string>

#include "platform/LastResort.h"

namespace qel {
namespace {

constexpr char kBoxCaption[] = "npqelgame";

std::mutex BoxReplacementLock;
std::function<void(const std::string&)> BoxReplacement;

// A box shown from a timer tick runs a modal loop that goes on ticking, so a
// failing tick would otherwise stack box upon box.
std::atomic<bool> BoxShown{false};

void ShowInBox(const std::string& text) {
  if (BoxShown.exchange(true)) return;
  struct TBoxClosed {
    ~TBoxClosed() { BoxShown = false; }
  } closed;
  std::function<void(const std::string&)> replacement;
  {
    std::lock_guard lock(BoxReplacementLock);
    replacement = BoxReplacement;
  }
  if (replacement) {
    replacement(text);
  } else {
    MessageBoxA(nullptr, text.c_str(), kBoxCaption, MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
  }
}

}  // namespace

void WriteReportLine(std::string_view line) noexcept {
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
  try {
    const std::string text(line);
    OutputDebugStringA(text.c_str());
    // The box shows the failure's own words; its caption names the plug-in.
    std::string_view shown = line;
    if (shown.starts_with(kReportPrefix)) shown.remove_prefix(kReportPrefix.size());
    while (!shown.empty() && shown.back() == '\n') shown.remove_suffix(1);
    ShowInBox(std::string(shown));
  } catch (...) {
    // Out of memory, or a test's box failed: standard error has the line.
  }
}

void ReplaceReportBoxForTesting(std::function<void(const std::string& text)> show) {
  std::lock_guard lock(BoxReplacementLock);
  BoxReplacement = std::move(show);
}

}  // namespace qel
