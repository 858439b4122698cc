// The launch workflow's error bench: launchers on a current install taken
// to each step, and what a failed launcher must show.
#pragma once

#include <memory>
#include <string>

#include "LauncherFixture.h"

namespace qel::test {

class LaunchErrorTest : public LauncherTest {
 protected:
  void ExpectFailed(TGameLauncher& launcher, TLaunchError code) {
    EXPECT_EQ(launcher.State(), lsFailed);
    EXPECT_EQ(launcher.ErrorCode(), code);
    EXPECT_EQ(launcher.GetProgress(), -code);
    EXPECT_EQ(launcher.GetShowKind(), -code);
  }

  // A launcher started on a current install whose config.ini is `config`.
  std::unique_ptr<TGameLauncher> StartCurrent(const TGameConfig& config, const std::string& update_info = "") {
    InstallCurrentGame(config);
    auto launcher = NewLauncher(kGameId, false, update_info);
    launcher->Start();
    return launcher;
  }

  // Runs the update step of a current install and answers the launcher
  // after it, in whatever state that step left it.
  std::unique_ptr<TGameLauncher> UpdateCurrent(const TGameConfig& config, const std::string& update_info = "") {
    auto launcher = StartCurrent(config, update_info);
    EXPECT_EQ(launcher->State(), lsUpdatePending);
    launcher->Tick();
    TickUntil(*launcher, [&] { return launcher->State() != lsUpdating; });
    return launcher;
  }

  // A current install brought to lsReady and launched into a new host window.
  std::unique_ptr<TGameLauncher> LaunchCurrent(const TGameConfig& config) {
    auto launcher = UpdateCurrent(config);
    EXPECT_EQ(launcher->State(), lsReady);
    launcher->Launch(Windows_.CreatePlainWindow(0, 0, 0, 10, 10));
    return launcher;
  }
};

}  // namespace qel::test
