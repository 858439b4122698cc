// Watches the plug-in thread's loop during a measured run: a 1 ms timer on
// the loop keeps the longest gap between its ticks (bounding the longest
// single call that kept the loop from other work) and samples the process's
// anonymous memory, the memory of its own that it holds beyond mapped files.
#pragma once

#include <chrono>
#include <cstdint>

#include "platform/Timer.h"

namespace qel::bench {

// The process's resident anonymous memory now, in KiB.
int64_t AnonymousKiB();

class TLoopProbe {
 public:
  TLoopProbe();
  void Start();
  void Stop();
  // The longest gap, less the interval, in wall time: on a busy machine it
  // also holds the time other processes had the processor.
  double LongestWallMs() const;
  // How far the anonymous memory rose above where it stood at Start.
  double AnonymousGrowthMiB() const { return static_cast<double>(PeakAnonKiB_ - StartAnonKiB_) / 1024; }

 private:
  using TClock = std::chrono::steady_clock;
  void Tick();

  TTimer Timer_;
  TClock::time_point LastWall_;
  double LongestWallMs_ = 0;
  int64_t StartAnonKiB_ = 0;
  int64_t PeakAnonKiB_ = 0;
};

}  // namespace qel::bench
