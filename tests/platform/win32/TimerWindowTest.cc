// Timers on the thread's message queue: what a handler may do to its own and
// to other timers, nested ticks, and timers of other threads.
#include "platform/Timer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include "platform/Loop.h"

namespace qel {
namespace {

constexpr int kPatienceMs = 5000;

class TTickProbe {
 public:
  void Tick() {
    ++Ticks;
    if (Then) Then();
  }
  int Ticks = 0;
  std::function<void()> Then;
};

std::unique_ptr<TTimer> TickingTimer(TTickProbe& probe, unsigned interval) {
  auto timer = std::make_unique<TTimer>();
  timer->SetHandler(&probe, &TTickProbe::Tick);
  timer->SetInterval(interval);
  timer->SetEnabled(true);
  return timer;
}

TEST(TimerWindowTest, AHandlerMayDestroyAnotherTimerWhoseTickIsAlreadyQueued) {
  TTickProbe first;
  TTickProbe second;
  // Timers without an interval have their first ticks queued at once;
  // whichever runs first destroys the other, whose queued tick must then
  // reach nobody.
  auto first_timer = TickingTimer(first, 0);
  auto second_timer = TickingTimer(second, 0);
  first.Then = [&] { second_timer.reset(); };
  second.Then = [&] { first_timer.reset(); };
  PumpLoopOnce();
  RunLoopFor(30);
  ASSERT_TRUE((first_timer == nullptr) != (second_timer == nullptr));
  EXPECT_EQ(first_timer == nullptr ? first.Ticks : second.Ticks, 0);
  EXPECT_GE(first_timer == nullptr ? second.Ticks : first.Ticks, 1);
}

TEST(TimerWindowTest, AHandlerMayStartTimersThatThenTick) {
  TTickProbe starter;
  TTickProbe started;
  std::unique_ptr<TTimer> later;
  auto timer = TickingTimer(starter, 5);
  starter.Then = [&] {
    if (!later) later = TickingTimer(started, 5);
  };
  EXPECT_TRUE(RunLoopUntil([&] { return started.Ticks >= 3; }, kPatienceMs));
  EXPECT_GE(starter.Ticks, 1);
}

TEST(TimerWindowTest, ATimerGoesOnTickingInsideALoopRunByItsOwnHandler) {
  // As it does while its handler shows a message box.
  TTickProbe probe;
  int depth = 0;
  int deepest = 0;
  auto timer = TickingTimer(probe, 5);
  probe.Then = [&] {
    ++depth;
    deepest = std::max(deepest, depth);
    if (depth == 1) RunLoopUntil([&] { return probe.Ticks >= 4; }, kPatienceMs);
    --depth;
  };
  EXPECT_TRUE(RunLoopUntil([&] { return probe.Ticks >= 4 && depth == 0; }, kPatienceMs));
  EXPECT_EQ(deepest, 2);
}

TEST(TimerWindowTest, DestroyingTheLastTimerInsideANestedTickIsSafe) {
  TTickProbe probe;
  auto timer = TickingTimer(probe, 5);
  probe.Then = [&] {
    if (probe.Ticks == 1) {
      RunLoopUntil([&] { return timer == nullptr; }, kPatienceMs);
    } else {
      timer.reset();
    }
  };
  EXPECT_TRUE(RunLoopUntil([&] { return timer == nullptr; }, kPatienceMs));
  RunLoopFor(30);
  EXPECT_EQ(probe.Ticks, 2);

  // The thread's window is made again for the next timer.
  TTickProbe next;
  auto again = TickingTimer(next, 5);
  EXPECT_TRUE(RunLoopUntil([&] { return next.Ticks >= 2; }, kPatienceMs));
}

TEST(TimerWindowTest, ATimerTicksOnTheThreadThatStartedIt) {
  std::atomic<int> worker_ticks{0};
  std::atomic<bool> ticked_elsewhere{false};
  std::thread worker([&] {
    const std::thread::id me = std::this_thread::get_id();
    TTickProbe probe;
    probe.Then = [&] {
      if (std::this_thread::get_id() != me) ticked_elsewhere = true;
      ++worker_ticks;
    };
    auto timer = TickingTimer(probe, 5);
    RunLoopUntil([&] { return probe.Ticks >= 3; }, kPatienceMs);
  });
  // This thread's loop does not run the worker's timer.
  RunLoopFor(30);
  worker.join();
  EXPECT_GE(worker_ticks, 3);
  EXPECT_FALSE(ticked_elsewhere);
}

}  // namespace
}  // namespace qel
