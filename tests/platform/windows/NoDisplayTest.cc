// Without an X server every question answers "no window" and every change
// fails; nothing ends the process. Run with DISPLAY unset.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "launch/GameModules.h"
#include "platform/Module.h"
#include "platform/NativeWindows.h"

namespace qel {
namespace {

TEST(NoDisplayTest, WindowsAnswerNoWindowAndChangesFail) {
  ASSERT_EQ(std::getenv("DISPLAY"), nullptr) << "this test must run without a display";
  TWindowSystem& windows = DefaultWindowSystem();
  const TWindowHandle some = 0x400001;

  EXPECT_EQ(windows.CreatePlainWindow(0, 0, 0, 10, 10), 0u);
  EXPECT_FALSE(windows.IsWindow(some));
  EXPECT_EQ(windows.ClientSize(some).Width, 0);
  EXPECT_EQ(windows.ClientSize(some).Height, 0);
  int visits = 0;
  windows.EnumTopLevelWindows([&](TWindowHandle) { return ++visits, true; });
  EXPECT_EQ(visits, 0);
  EXPECT_EQ(windows.WindowTitle(some), "");
  EXPECT_EQ(windows.WindowClassName(some), "");
  EXPECT_EQ(windows.WindowProcessId(some), 0u);
  windows.ShowWindow(some, true);
  EXPECT_FALSE(windows.MoveWindow(some, 0, 0, 10, 10));
  EXPECT_FALSE(windows.SetParent(some, 0x400002));
  EXPECT_EQ(windows.GetParent(some), 0u);
  EXPECT_FALSE(windows.CloseWindow(some, 100));
  windows.DestroyWindow(some);
}

TEST(NoDisplayTest, TheSampleInitModuleAnswersNoWindow) {
  ASSERT_EQ(std::getenv("DISPLAY"), nullptr) << "this test must run without a display";
  std::unique_ptr<TModule> module = DefaultModuleLoader().Load(QEL_SAMPLE_INIT_MODULE);
  ASSERT_NE(module, nullptr);
  const auto init_game = reinterpret_cast<TInitGameProc>(module->Entry(kInitGameEntry));
  ASSERT_NE(init_game, nullptr);
  TInitGameIn in{};
  in.Size = sizeof in;
  in.Version = 2;
  in.ParentWindow = 0x400001;
  in.ParentWidth = 10;
  in.ParentHeight = 10;
  TInitGameOut out{};
  EXPECT_EQ(init_game(&in, &out), 9);
}

}  // namespace
}  // namespace qel
