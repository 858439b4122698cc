#include "platform/LastResort.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Error.h"
#include "platform/Loop.h"
#include "platform/Timer.h"

namespace qel {
namespace {

class LastResortBoxTest : public testing::Test {
 protected:
  void SetUp() override {
    ReplaceReportBoxForTesting([this](const std::string& text) {
      Shown.push_back(text);
      if (WhileShown) WhileShown();
    });
  }
  // Back to no box at all, as for every other test of the program.
  void TearDown() override { ReplaceReportBoxForTesting([](const std::string&) {}); }

  std::vector<std::string> Shown;
  std::function<void()> WhileShown;  // what happens while the box is up
};

TEST_F(LastResortBoxTest, TheBoxShowsTheFailuresOwnWordsAndStandardErrorTheLine) {
  testing::internal::CaptureStderr();
  ReportUnhandled("page access failed\r\nerror 3");
  try {
    throw 7;
  } catch (...) {
    ReportCurrentException();
  }
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "npqelgame: page access failed  error 3\nnpqelgame: unknown failure\n");
  EXPECT_EQ(Shown, (std::vector<std::string>{"page access failed  error 3", "unknown failure"}));
}

class TFailingTicks {
 public:
  void Tick() {
    ++Ticks;
    throw EQelError("tick " + std::to_string(Ticks) + " failed");
  }
  int Ticks = 0;
};

TEST_F(LastResortBoxTest, FailuresWhileABoxIsUpGoOnlyToTheOtherOutputs) {
  TFailingTicks failing;
  TTimer timer;
  timer.SetHandler(&failing, &TFailingTicks::Tick);
  timer.SetInterval(5);
  // The box's own loop goes on ticking, as a message box's does.
  WhileShown = [&] { RunLoopUntil([&] { return failing.Ticks >= 3; }, 5000); };
  testing::internal::CaptureStderr();
  timer.SetEnabled(true);
  const bool ticked = RunLoopUntil([&] { return failing.Ticks >= 3; }, 5000);
  timer.SetEnabled(false);
  const std::string reported = testing::internal::GetCapturedStderr();
  ASSERT_TRUE(ticked);
  EXPECT_EQ(Shown, std::vector<std::string>{"tick 1 failed"});
  EXPECT_EQ(reported.substr(0, reported.find("npqelgame: tick 4")),
            "npqelgame: tick 1 failed\nnpqelgame: tick 2 failed\nnpqelgame: tick 3 failed\n");

  // Once it is closed, the next failure has a box of its own.
  WhileShown = nullptr;
  ReportUnhandled("later");
  EXPECT_EQ(Shown.back(), "later");
}

TEST_F(LastResortBoxTest, ABoxThatFailsLeavesTheReportOnStandardError) {
  WhileShown = [] { throw EQelError("no box"); };
  testing::internal::CaptureStderr();
  ReportUnhandled("first");
  ReportUnhandled("second");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "npqelgame: first\nnpqelgame: second\n");
  EXPECT_EQ(Shown.size(), 2u);
}

}  // namespace
}  // namespace qel
