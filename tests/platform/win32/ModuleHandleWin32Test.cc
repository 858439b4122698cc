#include "platform/ModuleHandle.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace qel {
namespace {

DWORD WINAPI SleepBriefly(void*) {
  Sleep(50);
  return 0;
}

uint32_t HandleNumber(HANDLE handle) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(handle)); }

TEST(ModuleHandleWin32Test, WaitEndsOnlyWhenTheWorkerIsDone) {
  const HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NE(done, nullptr);
  std::atomic<bool> returned{false};
  std::thread waiter([&] {
    WaitForModuleHandle(HandleNumber(done));
    returned = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(returned) << "the wait returned before the handle was signalled";
  SetEvent(done);
  waiter.join();
  EXPECT_TRUE(returned);
  CloseHandle(done);
}

TEST(ModuleHandleWin32Test, AThreadHandleEndsTheWaitWhenTheThreadEnds) {
  const HANDLE worker = CreateThread(nullptr, 0, &SleepBriefly, nullptr, 0, nullptr);
  ASSERT_NE(worker, nullptr);
  WaitForModuleHandle(HandleNumber(worker));
  EXPECT_EQ(WaitForSingleObject(worker, 0), WAIT_OBJECT_0);
  CloseHandle(worker);
}

TEST(ModuleHandleWin32Test, HandlesThatNameNothingEndTheWaitAtOnce) {
  WaitForModuleHandle(0);

  const HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NE(event, nullptr);
  const uint32_t closed = HandleNumber(event);
  CloseHandle(event);
  WaitForModuleHandle(closed);

  // The process's and the thread's own pseudo-handles would never be signalled.
  WaitForModuleHandle(0xFFFFFFFFu);
  WaitForModuleHandle(0xFFFFFFFEu);
  WaitForModuleHandle(0x80000000u);
}

}  // namespace
}  // namespace qel
