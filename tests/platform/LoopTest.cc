#include "platform/Loop.h"

#include <gtest/gtest.h>

#include "platform/Timer.h"

namespace qel {
namespace {

class TTickCounter {
 public:
  void Tick() { ++Ticks; }
  int Ticks = 0;
};

TEST(LoopTest, RunLoopUntilAnswersWhetherTheConditionCameTrue) {
  EXPECT_TRUE(RunLoopUntil([] { return true; }, 0));
  EXPECT_FALSE(RunLoopUntil([] { return false; }, 20));

  TTickCounter counter;
  TTimer timer;
  timer.SetHandler(&counter, &TTickCounter::Tick);
  timer.SetInterval(5);
  timer.SetEnabled(true);
  EXPECT_TRUE(RunLoopUntil([&] { return counter.Ticks >= 2; }, 5000));
}

TEST(LoopTest, WaitsWithoutSpinning) {
  int looks = 0;
  RunLoopUntil([&] { return ++looks < 0; }, 200);
  // A blocking wait looks at the condition a few dozen times at most; a busy
  // loop would look hundreds of thousands of times.
  EXPECT_LT(looks, 1000);
}

TEST(LoopTest, PumpReturnsEvenWhenSomethingIsAlwaysDue) {
  TTickCounter counter;
  TTimer timer;
  timer.SetHandler(&counter, &TTickCounter::Tick);
  timer.SetInterval(0);
  timer.SetEnabled(true);
  PumpLoopOnce();
  EXPECT_GT(counter.Ticks, 0);
}

}  // namespace
}  // namespace qel
