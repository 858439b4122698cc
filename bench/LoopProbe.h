// Watches the plug-in thread's loop during a measured run: a 1 ms timer on
// the loop keeps the longest gap between its ticks (bounding the longest
// single call that kept the loop from other work), and a thread of its own
// samples the process's anonymous memory (the memory of its own that it
// holds beyond mapped files) every millisecond. The sampling stays off the
// loop: reading /proc takes locks that the process's other threads hold
// while they fault pages in, and would be billed to the loop.
#pragma once

#include <chrono>
#include <atomic>
#include <cstdint>
#include <thread>

#include "platform/Timer.h"

namespace qel::bench {

// The process's resident anonymous memory now, in KiB.
int64_t AnonymousKiB();

class TLoopProbe {
 public:
  TLoopProbe();
  ~TLoopProbe();
  void Start();
  void Stop();
  // The longest gap, less the interval, in wall time: on a busy machine it
  // also holds the time other processes had the processor.
  double LongestWallMs() const;
  // How far the anonymous memory rose above where it stood at Start.
  double AnonymousGrowthMiB() const { return static_cast<double>(PeakAnonKiB_.load() - StartAnonKiB_) / 1024; }

 private:
  using TClock = std::chrono::steady_clock;
  void Tick();

  TTimer Timer_;
  TClock::time_point LastWall_;
  double LongestWallMs_ = 0;
  int64_t StartAnonKiB_ = 0;
  std::atomic<int64_t> PeakAnonKiB_{0};
  std::atomic<bool> Sampling_{false};
  std::thread Sampler_;
};

}  // namespace qel::bench
