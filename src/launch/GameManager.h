// What a plug-in instance in manage mode does to an installed game: remove
// it, or make its data be fetched again. Either happens only while no other
// instance uses the game: the download mutex and all run units are taken
// first, within 20 ms, or nothing is done. Nothing is reported; every
// failure ends the operation silently with everything given back.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "launch/GameLocks.h"
#include "launch/GameRegister.h"
#include "platform/FileSystem.h"

namespace qel {

class TGameManager {
 public:
  explicit TGameManager(std::string PluginDir);
  TGameManager(std::string PluginDir, TFileSystem& Files);
  TGameManager(const TGameManager&) = delete;
  TGameManager& operator=(const TGameManager&) = delete;

  std::string GetInstallPath(std::string_view GameId);
  // True when the game's download mutex and all its run units are held.
  // ReleaseGame follows every call, whatever its answer.
  bool AcquireGame(std::string_view GameId);
  void ReleaseGame();
  // Drops the game's register record and deletes its install folder.
  void RemoveGame(std::string_view GameId);
  // Sets the installed versions in "dataver.dat" to 0; the rest of the
  // record stays.
  void ResetData(std::string_view GameId);
  int RunUnits() const { return Locks_ ? Locks_->RunUnits() : 0; }

 private:
  void ResetVersions(const std::string& VersionFile);

  TFileSystem& Files_;
  std::unique_ptr<TGameRegister> Register_;
  std::unique_ptr<TGameLocks> Locks_;
};

}  // namespace qel
