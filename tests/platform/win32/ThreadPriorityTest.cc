#include "platform/ThreadPriority.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <thread>

namespace qel {
namespace {

TEST(ThreadPriorityTest, BackgroundThreadsRunBelowTheOthers) {
  int before = 0;
  int after = 0;
  std::thread([&] {
    before = GetThreadPriority(GetCurrentThread());
    RunInBackground();
    after = GetThreadPriority(GetCurrentThread());
  }).join();
  EXPECT_EQ(before, THREAD_PRIORITY_NORMAL);
  EXPECT_EQ(after, THREAD_PRIORITY_BELOW_NORMAL);
  EXPECT_EQ(GetThreadPriority(GetCurrentThread()), THREAD_PRIORITY_NORMAL);
}

}  // namespace
}  // namespace qel
