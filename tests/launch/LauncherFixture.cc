#include "LauncherFixture.h"

#include <filesystem>
#include <thread>

#include "launch/GameRegister.h"
#include "launch/ObjectNames.h"
#include "net/DataVersionRecord.h"
#include "platform/Error.h"
#include "platform/NamedMutex.h"
#include "platform/NamedSemaphore.h"

namespace qel::test {

bool MutexFreeForOthers(const std::string& game_id) {
  bool taken = false;
  std::thread([&] {
    TNamedMutex mutex(DownloadMutexName(game_id));
    taken = mutex.Wait(0);
    if (taken) mutex.Release();
  }).join();
  return taken;
}

int FreeUnits(const std::string& game_id) {
  TNamedSemaphore probe(RunSemaphoreName(game_id), kRunSemaphoreUnits);
  int free = 0;
  while (probe.TryAcquire()) ++free;
  return free;
}

TLaunchServices LauncherTest::Services() {
  TLaunchServices services = DefaultLaunchServices();
  services.Windows = &Windows_;
  services.FreeSpace = [this](const std::string&) { return std::optional<uint64_t>(FreeBytes_); };
  services.InstallRoots = [this] { return Roots_; };
  services.StartProcess = [this](const std::string& program, const std::string& parameters,
                                 const std::string& folder, const std::string& environment_parameters) {
    if (FailStart_) throw EQelError("cannot start " + program);
    Started_.push_back({program, parameters, folder, environment_parameters});
    return kGamePid;
  };
  return services;
}

std::unique_ptr<TGameLauncher> LauncherTest::NewLauncher(const std::string& game_id, bool multi_run,
                                                         const std::string& update_info) {
  auto launcher = std::make_unique<TGameLauncher>(Services());
  launcher->SetGameInfo(game_id, multi_run, 10, update_info, PluginFolder_.Path());
  launcher->SetDownloader(&TFakeDownloader::Create, "http://127.0.0.1:9/init.pak",
                          "http://127.0.0.1:9/update.pak", 3, 2);
  return launcher;
}

TFakeDownloader& LauncherTest::FakeOf(TGameLauncher& launcher) {
  return dynamic_cast<TFakeDownloader&>(*launcher.Downloader());
}

void LauncherTest::WriteGame(const std::string& folder, const TGameConfig& config,
                             const std::string& update_module) {
  test::WriteGame(folder, config, update_module);
}

std::string LauncherTest::InstallCurrentGame(const TGameConfig& config, const std::string& game_id) {
  const std::string folder = PluginFolder_ / (game_id + "/");
  WriteGame(folder, config);
  TGameRegister(PluginFolder_.Path()).AddRecord(game_id, "default path");
  TDataVersionRecord versions{};
  versions.InitVersion = 3;
  versions.UpdateVersion = 2;
  PutFile(folder + "dataver.dat", std::string(reinterpret_cast<const char*>(&versions), sizeof versions));
  return folder;
}

bool LauncherTest::TickUntil(TGameLauncher& launcher, const std::function<bool()>& condition) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    launcher.Tick();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

void LauncherTest::BringToReady(TGameLauncher& launcher, const TGameConfig& config) {
  launcher.Start();
  ASSERT_EQ(launcher.State(), lsDownloading);
  WriteGame(launcher.InstallPath(), config);
  FakeOf(launcher).Finish();
  launcher.Tick();
  ASSERT_EQ(launcher.State(), lsUpdatePending);
  ASSERT_TRUE(TickUntil(launcher, [&] { return launcher.State() != lsUpdatePending && launcher.State() != lsUpdating; }));
  ASSERT_EQ(launcher.State(), lsReady);
}

}  // namespace qel::test
