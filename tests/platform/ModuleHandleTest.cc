#include "platform/ModuleHandle.h"

#include <fcntl.h>
#include <sys/types.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "TempFolder.h"

namespace qel {
namespace {

class TPipe {
 public:
  TPipe() {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) throw std::runtime_error("no pipe");
    Read = ends[0];
    Write = ends[1];
  }
  ~TPipe() {
    CloseRead();
    CloseWrite();
  }
  TPipe(const TPipe&) = delete;
  TPipe& operator=(const TPipe&) = delete;
  void CloseRead() {
    if (Read >= 0) close(Read);
    Read = -1;
  }
  void CloseWrite() {
    if (Write >= 0) close(Write);
    Write = -1;
  }
  int Read = -1;
  int Write = -1;
};

// Whether the thread sleeps in the kernel, as a thread blocked in a wait does.
bool ThreadIsSleeping(pid_t thread) {
  const std::string stat = test::FileContent("/proc/self/task/" + std::to_string(thread) + "/stat");
  const size_t name_end = stat.rfind(')');
  return name_end != std::string::npos && name_end + 2 < stat.size() && stat[name_end + 2] == 'S';
}

// Starts a wait on another thread, makes sure it is blocked, then ends it the
// given way; the wait must return only after that.
template <typename Signal>
void ExpectWaitEndsOnlyWhen(uint32_t handle, Signal signal) {
  std::atomic<pid_t> waiter{0};
  std::atomic<bool> returned{false};
  std::thread thread([&] {
    waiter = gettid();
    WaitForModuleHandle(handle);
    returned = true;
  });
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  bool blocked = false;
  while (!returned && std::chrono::steady_clock::now() < deadline) {
    if (waiter != 0 && ThreadIsSleeping(waiter)) {
      blocked = true;
      break;
    }
    std::this_thread::yield();
  }
  EXPECT_TRUE(blocked) << "the wait did not block";
  EXPECT_FALSE(returned) << "the wait returned before the handle was signalled";
  signal();
  thread.join();
  EXPECT_TRUE(returned);
}

TEST(ModuleHandleTest, WaitEndsWhenTheWorkerClosesItsEnd) {
  TPipe pipe;
  ExpectWaitEndsOnlyWhen(static_cast<uint32_t>(pipe.Read), [&] {
    std::thread closer([&] { pipe.CloseWrite(); });
    closer.join();
  });
}

TEST(ModuleHandleTest, WaitEndsWhenTheHandleBecomesReadable) {
  TPipe pipe;
  ExpectWaitEndsOnlyWhen(static_cast<uint32_t>(pipe.Read), [&] {
    ASSERT_EQ(write(pipe.Write, "x", 1), 1);
  });
}

TEST(ModuleHandleTest, HandlesThatNameNothingEndTheWaitAtOnce) {
  WaitForModuleHandle(0);

  TPipe pipe;
  const int closed = pipe.Read;
  pipe.CloseRead();
  ASSERT_EQ(fcntl(closed, F_GETFD), -1);
  WaitForModuleHandle(static_cast<uint32_t>(closed));

  // Beyond any descriptor number; a negative one would be ignored and wait for ever.
  WaitForModuleHandle(0x80000000u);
  WaitForModuleHandle(0xFFFFFFFFu);
}

}  // namespace
}  // namespace qel
