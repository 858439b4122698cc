// Every call on a handle that names no window answers "no window" or fails,
// quietly, and leaves the host's own X error handler as it was.
#include <gtest/gtest.h>

#include <cstdint>

#include "ForeignClient.h"
#include "platform/NativeWindows.h"

namespace qel::test {
namespace {

void ExpectNoWindow(TWindowSystem& windows, TWindowHandle bogus, TWindowHandle host) {
  SCOPED_TRACE(bogus);
  EXPECT_FALSE(windows.IsWindow(bogus));
  EXPECT_EQ(windows.ClientSize(bogus).Width, 0);
  EXPECT_EQ(windows.ClientSize(bogus).Height, 0);
  EXPECT_EQ(windows.WindowTitle(bogus), "");
  EXPECT_EQ(windows.WindowClassName(bogus), "");
  EXPECT_EQ(windows.WindowProcessId(bogus), 0u);
  windows.ShowWindow(bogus, true);
  windows.ShowWindow(bogus, false);
  EXPECT_FALSE(windows.MoveWindow(bogus, 0, 0, 10, 10));
  EXPECT_FALSE(windows.SetParent(bogus, host));
  EXPECT_FALSE(windows.SetParent(host, bogus));
  EXPECT_EQ(windows.GetParent(bogus), 0u);
  EXPECT_TRUE(windows.CloseWindow(bogus, 100));
  EXPECT_EQ(windows.CreatePlainWindow(bogus, 0, 0, 10, 10), 0u);
  windows.DestroyWindow(bogus);
}

TEST(SafetyTest, CallsOnHandlesThatNameNoWindowAnswerSafelyAndQuietly) {
  TWindowSystem& windows = DefaultWindowSystem();
  TForeignClient host_program;
  host_program.InstallHostErrorHandler();
  const TWindowHandle host = windows.CreatePlainWindow(0, 0, 0, 50, 50);
  ASSERT_NE(host, 0u);
  const TWindowHandle destroyed = windows.CreatePlainWindow(0, 0, 0, 10, 10);
  windows.DestroyWindow(destroyed);
  const TWindowHandle foreign_destroyed = host_program.MakeWindow(0, {});
  host_program.Destroy(foreign_destroyed);

  testing::internal::CaptureStderr();
  ExpectNoWindow(windows, destroyed, host);
  ExpectNoWindow(windows, foreign_destroyed, host);
  ExpectNoWindow(windows, 0x1FFFFFFE, host);
  // Beyond the 29 bits of an id: cut to 32 bits on the wire it would name
  // the host window itself.
  ExpectNoWindow(windows, host | (uint64_t{1} << 32), host);
  ExpectNoWindow(windows, UINTPTR_MAX, host);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

  EXPECT_TRUE(windows.IsWindow(host));
  EXPECT_EQ(windows.GetParent(host), 0u);
  // None of those failures reached the host's handler, which is back in place
  // for errors of its own.
  EXPECT_EQ(host_program.HostHandlerErrors(), 0);
  host_program.MakeFailingRequest();
  EXPECT_EQ(host_program.HostHandlerErrors(), 1);
  windows.DestroyWindow(host);
}

TEST(SafetyTest, ZeroIsNoWindowButCreateWindowTakesItForTheRoot) {
  TWindowSystem& windows = DefaultWindowSystem();
  EXPECT_FALSE(windows.IsWindow(0));
  EXPECT_EQ(windows.GetParent(0), 0u);
  EXPECT_FALSE(windows.MoveWindow(0, 0, 0, 1, 1));
  const TWindowHandle window = windows.CreatePlainWindow(0, 0, 0, 10, 10);
  EXPECT_NE(window, 0u);
  EXPECT_FALSE(windows.SetParent(0, window));
  windows.DestroyWindow(window);
}

}  // namespace
}  // namespace qel::test
