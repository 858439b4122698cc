#include "LoopProbe.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

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

TLoopProbe::~TLoopProbe() { Stop(); }

void TLoopProbe::Start() {
  LastWall_ = TClock::now();
  LongestWallMs_ = 0;
  StartAnonKiB_ = AnonymousKiB();
  PeakAnonKiB_ = StartAnonKiB_;
  Sampling_ = true;
  Sampler_ = std::thread([this] {
    while (Sampling_) {
      const int64_t now = AnonymousKiB();
      if (now > PeakAnonKiB_) PeakAnonKiB_ = now;
      std::this_thread::sleep_for(std::chrono::milliseconds(kProbeIntervalMs));
    }
  });
  Timer_.SetEnabled(true);
}

void TLoopProbe::Stop() {
  if (!Sampling_) return;
  Tick();
  Timer_.SetEnabled(false);
  Sampling_ = false;
  Sampler_.join();
}

double TLoopProbe::LongestWallMs() const { return std::max(0.0, LongestWallMs_ - kProbeIntervalMs); }

void TLoopProbe::Tick() {
  const TClock::time_point wall = TClock::now();
  LongestWallMs_ = std::max(LongestWallMs_, std::chrono::duration<double, std::milli>(wall - LastWall_).count());
  LastWall_ = wall;
}

}  // namespace qel::bench
