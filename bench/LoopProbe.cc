#include "LoopProbe.h"

#include <glib.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

namespace qel::bench {
namespace {

constexpr unsigned kProbeIntervalMs = 1;

// The running probe, and the poll function it stands in front of.
TLoopProbe* g_probe = nullptr;
GPollFunc g_poll = nullptr;

double MsBetween(std::chrono::steady_clock::time_point from, std::chrono::steady_clock::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

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
  LastTick_ = TClock::now();
  LongestGapMs_ = 0;
  LongestTurnMs_ = 0;
  LongestGapPhase_.clear();
  LongestTurnPhase_.clear();
  // The caller's code up to its next wait is the first turn.
  TurnRunning_ = true;
  TurnBegan_ = LastTick_;
  g_probe = this;
  g_poll = g_main_context_get_poll_func(nullptr);
  g_main_context_set_poll_func(nullptr, [](GPollFD* fds, guint count, gint timeout) {
    return TLoopProbe::Poll(fds, count, timeout);
  });
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
  if (TurnRunning_) TurnEnded(TurnBegan_);
  g_main_context_set_poll_func(nullptr, g_poll);
  g_probe = nullptr;
  Timer_.SetEnabled(false);
  Sampling_ = false;
  Sampler_.join();
}

double TLoopProbe::LongestGapMs() const { return std::max(0.0, LongestGapMs_ - kProbeIntervalMs); }

int TLoopProbe::Poll(void* fds, unsigned count, int timeout) {
  TLoopProbe* probe = g_probe;
  if (probe->TurnRunning_) probe->TurnEnded(probe->TurnBegan_);
  const int ready = g_poll(static_cast<GPollFD*>(fds), count, timeout);
  probe->TurnRunning_ = true;
  probe->TurnBegan_ = TClock::now();
  return ready;
}

void TLoopProbe::TurnEnded(TClock::time_point began) {
  TurnRunning_ = false;
  const double turn_ms = MsBetween(began, TClock::now());
  if (turn_ms <= LongestTurnMs_) return;
  LongestTurnMs_ = turn_ms;
  if (Phase) LongestTurnPhase_ = Phase();
}

void TLoopProbe::Tick() {
  const TClock::time_point now = TClock::now();
  const double gap_ms = MsBetween(LastTick_, now);
  LastTick_ = now;
  if (gap_ms <= LongestGapMs_) return;
  LongestGapMs_ = gap_ms;
  if (Phase) LongestGapPhase_ = Phase();
}

}  // namespace qel::bench
