// The launcher's pictures fetched from a real HTTP server (nginx on the
// loopback address), handed on once and never failing the launch.
#include <gtest/gtest.h>

#include <string>

#include "LauncherFixture.h"
#include "NginxServer.h"
#include "platform/Error.h"
#include "platform/Loop.h"

namespace qel::test {
namespace {

TEST_F(LauncherTest, AFetchedPictureIsHandedOnOnceAndABrokenOneNeverFailsTheLaunch) {
  TNginxServer nginx;
  if (!nginx.Running()) GTEST_SKIP() << nginx.Failure();
  nginx.PutFile("background.jpg", "background bytes");
  nginx.PutFile("bar.png", "bar bytes");
  auto launcher = NewLauncher();
  std::string background;
  int backgrounds = 0;
  int bars = 0;
  launcher->OnBackgroundLoaded = [&](TGameLauncher&, const TMemoryStream& data) {
    ++backgrounds;
    background.assign(data.Bytes().begin(), data.Bytes().end());
  };
  launcher->OnBarLoaded = [&](TGameLauncher&, const TMemoryStream&) {
    ++bars;
    throw EQelError("not a picture");
  };
  launcher->LoadBackground(nginx.Url("background.jpg"));
  // The same address again is not fetched again; an empty one not at all.
  launcher->LoadBackground(nginx.Url("background.jpg"));
  launcher->LoadBarImages(nginx.Url("bar.png"), "");
  launcher->Start();
  ASSERT_TRUE(RunLoopUntil(
      [&] {
        launcher->Tick();
        return backgrounds == 1 && bars == 1;
      },
      10000));
  RunLoopFor(50);
  launcher->Tick();
  EXPECT_EQ(background, "background bytes");
  EXPECT_EQ(backgrounds, 1);
  EXPECT_EQ(bars, 1);
  EXPECT_EQ(launcher->State(), lsDownloading);
}

}  // namespace
}  // namespace qel::test
