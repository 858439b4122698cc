#include "LoopProbe.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace qel::bench {
namespace {

constexpr unsigned kProbeIntervalMs = 1;

}  // namespace

int64_t AnonymousKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.starts_with("RssAnon:")) return std::atoll(line.c_str() + std::strlen("RssAnon:"));
  return 0;
}

TLoopProbe::TLoopProbe() {
  Timer_.SetHandler(this, &TLoopProbe::Tick);
  Timer_.SetInterval(kProbeIntervalMs);
}

void TLoopProbe::Start() {
  LastWall_ = TClock::now();
  LongestWallMs_ = 0;
  StartAnonKiB_ = PeakAnonKiB_ = AnonymousKiB();
  Timer_.SetEnabled(true);
}

void TLoopProbe::Stop() {
  Tick();
  Timer_.SetEnabled(false);
}

double TLoopProbe::LongestWallMs() const { return std::max(0.0, LongestWallMs_ - kProbeIntervalMs); }

void TLoopProbe::Tick() {
  const TClock::time_point wall = TClock::now();
  LongestWallMs_ = std::max(LongestWallMs_, std::chrono::duration<double, std::milli>(wall - LastWall_).count());
  PeakAnonKiB_ = std::max(PeakAnonKiB_, AnonymousKiB());
  // The probe's own reading is no part of any gap.
  LastWall_ = TClock::now();
}

}  // namespace qel::bench
