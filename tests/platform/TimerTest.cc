#include "platform/Timer.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "platform/Error.h"
#include "platform/Loop.h"

namespace qel {
namespace {

constexpr int kPatienceMs = 5000;

// Counts ticks, then does what the test asks of a tick.
class TTickProbe {
 public:
  void Tick() {
    ++Ticks;
    if (Then) Then();
  }
  int Ticks = 0;
  std::function<void()> Then;
};

bool AwaitTicks(const TTickProbe& probe, int ticks) {
  return RunLoopUntil([&] { return probe.Ticks >= ticks; }, kPatienceMs);
}

TEST(TimerTest, FiresRepeatedlyAtItsInterval) {
  TTickProbe probe;
  TTimer timer;
  EXPECT_EQ(timer.Interval(), 50u);
  timer.SetHandler(&probe, &TTickProbe::Tick);
  EXPECT_FALSE(timer.Enabled());
  timer.SetEnabled(true);
  EXPECT_TRUE(timer.Enabled());
  EXPECT_TRUE(AwaitTicks(probe, 3));
}

TEST(TimerTest, ChangingTheIntervalWhileEnabledRestartsAtTheNewOne) {
  TTickProbe probe;
  TTimer timer;
  timer.SetHandler(&probe, &TTickProbe::Tick);
  timer.SetInterval(60 * 60 * 1000);
  timer.SetEnabled(true);
  timer.SetInterval(5);
  EXPECT_TRUE(timer.Enabled());
  EXPECT_TRUE(AwaitTicks(probe, 3));
}

TEST(TimerTest, DisablingInsideTheHandlerStopsIt) {
  TTickProbe probe;
  TTimer timer;
  timer.SetHandler(&probe, &TTickProbe::Tick);
  timer.SetInterval(5);
  probe.Then = [&] { timer.SetEnabled(false); };
  timer.SetEnabled(true);
  ASSERT_TRUE(AwaitTicks(probe, 1));
  EXPECT_FALSE(timer.Enabled());
  RunLoopFor(50);
  EXPECT_EQ(probe.Ticks, 1);

  probe.Then = nullptr;
  timer.SetEnabled(true);
  EXPECT_TRUE(AwaitTicks(probe, 3));
}

TEST(TimerTest, RestartingInsideTheHandlerKeepsItTicking) {
  TTickProbe probe;
  TTimer timer;
  timer.SetHandler(&probe, &TTickProbe::Tick);
  timer.SetInterval(5);
  probe.Then = [&] {
    timer.SetEnabled(false);
    timer.SetEnabled(true);
    timer.SetInterval(timer.Interval() == 5 ? 6 : 5);
  };
  timer.SetEnabled(true);
  EXPECT_TRUE(AwaitTicks(probe, 4));
  EXPECT_TRUE(timer.Enabled());
}

TEST(TimerTest, HandlerMayDestroyItsTimer) {
  TTickProbe probe;
  auto timer = std::make_unique<TTimer>();
  timer->SetHandler(&probe, &TTickProbe::Tick);
  timer->SetInterval(5);
  probe.Then = [&] { timer.reset(); };
  timer->SetEnabled(true);
  ASSERT_TRUE(AwaitTicks(probe, 1));
  EXPECT_EQ(timer, nullptr);
  RunLoopFor(50);
  EXPECT_EQ(probe.Ticks, 1);
}

TEST(TimerTest, FailureInTheHandlerIsReportedAsOneLineAndTheTimerGoesOn) {
  TTickProbe probe;
  TTimer timer;
  timer.SetHandler(&probe, &TTickProbe::Tick);
  timer.SetInterval(5);
  probe.Then = [&] {
    if (probe.Ticks == 1) throw EQelError("tick failed\nat step 2");
  };
  testing::internal::CaptureStderr();
  timer.SetEnabled(true);
  const bool ticked_on = AwaitTicks(probe, 3);
  const std::string reported = testing::internal::GetCapturedStderr();
  EXPECT_TRUE(ticked_on);
  EXPECT_TRUE(timer.Enabled());
  EXPECT_EQ(reported, "npqelgame: tick failed at step 2\n");
}

TEST(TimerTest, DestructorRemovesItFromTheLoop) {
  TTickProbe probe;
  auto timer = std::make_unique<TTimer>();
  timer->SetHandler(&probe, &TTickProbe::Tick);
  timer->SetInterval(5);
  timer->SetEnabled(true);
  ASSERT_TRUE(AwaitTicks(probe, 1));
  const int ticks = probe.Ticks;
  timer.reset();
  RunLoopFor(50);
  EXPECT_EQ(probe.Ticks, ticks);
}

}  // namespace
}  // namespace qel
