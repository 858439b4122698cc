// Watches the plug-in thread's loop during a measured run:
//  - every turn of the loop (from the moment its wait for events ends until
//    it waits again: all the work one turn did), through the loop's poll
//    function, and keeps the longest;
//  - a 1 ms timer on the loop keeps the longest gap between its ticks, which
//    also holds the time the loop's thread waited for a processor or the
//    machine did not run at all (a virtual machine's host stops it for
//    milliseconds now and then);
//  - a thread of its own samples the process's anonymous memory (the memory
//    of its own that it holds beyond mapped files) every millisecond. The
//    sampling stays off the loop: reading /proc takes locks that the
//    process's other threads hold while they fault pages in, and would be
//    billed to the loop.
// One probe runs at a time.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
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
  // The longest turn of the loop, in wall time.
  double LongestTurnMs() const { return LongestTurnMs_; }
  // The longest gap between ticks less the interval, in wall time.
  double LongestGapMs() const;
  // What Phase answered at the end of each.
  const std::string& LongestTurnPhase() const { return LongestTurnPhase_; }
  const std::string& LongestGapPhase() const { return LongestGapPhase_; }
  // How far the anonymous memory rose above where it stood at Start.
  double AnonymousGrowthMiB() const { return static_cast<double>(PeakAnonKiB_.load() - StartAnonKiB_) / 1024; }

  // Names what the run is doing; asked at a new longest turn or gap.
  std::function<std::string()> Phase;

 private:
  using TClock = std::chrono::steady_clock;
  void Tick();
  void TurnEnded(TClock::time_point began);
  // Takes the loop's poll function's place while the probe runs.
  static int Poll(void* fds, unsigned count, int timeout);

  TTimer Timer_;
  TClock::time_point LastTick_;
  double LongestGapMs_ = 0;
  std::string LongestGapPhase_;
  double LongestTurnMs_ = 0;
  std::string LongestTurnPhase_;
  bool TurnRunning_ = false;
  TClock::time_point TurnBegan_;
  int64_t StartAnonKiB_ = 0;
  std::atomic<int64_t> PeakAnonKiB_{0};
  std::atomic<bool> Sampling_{false};
  std::thread Sampler_;
};

}  // namespace qel::bench
