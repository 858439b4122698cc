#include "launch/GameManager.h"

#include <cstring>
#include <exception>

#include "net/DataVersionRecord.h"
#include "net/FileDownloader.h"
#include "platform/AtomicFile.h"
#include "platform/FolderRemoval.h"

namespace qel {
namespace {

// "dataver.dat" is one record; anything larger is not a version file.
constexpr uint64_t kVersionFileLimit = 1024 * 1024;

}  // namespace

TGameManager::TGameManager(std::string PluginDir) : TGameManager(std::move(PluginDir), DefaultFileSystem()) {}

TGameManager::TGameManager(std::string PluginDir, TFileSystem& Files)
    : Files_(Files), Register_(std::make_unique<TGameRegister>(std::move(PluginDir), Files)) {}

std::string TGameManager::GetInstallPath(std::string_view GameId) { return Register_->GetPath(GameId); }

bool TGameManager::AcquireGame(std::string_view GameId) {
  Locks_ = std::make_unique<TGameLocks>(GameId);
  return Locks_->OpenMutex() && Locks_->OpenSemaphore() && Locks_->TakeMutex() &&
         Locks_->TakeUnits(kRunSemaphoreUnits);
}

void TGameManager::ReleaseGame() { Locks_.reset(); }

void TGameManager::RemoveGame(std::string_view GameId) {
  const std::string folder = GetInstallPath(GameId);
  if (folder.empty()) return;
  try {
    // The record goes only with the folder there, and the folder only with
    // the record gone.
    if (AcquireGame(GameId) && Files_.DirectoryExists(folder) && Register_->RemoveRecord(GameId)) {
      DeleteTree(folder);
    }
  } catch (const std::exception&) {
    // Nothing of this is reported.
  }
  ReleaseGame();
}

void TGameManager::ResetData(std::string_view GameId) {
  const std::string folder = GetInstallPath(GameId);
  if (folder.empty()) return;
  const std::string version_file = folder + kVersionFileName;
  if (!Files_.FileExists(version_file)) return;
  try {
    if (AcquireGame(GameId)) ResetVersions(version_file);
  } catch (const std::exception&) {
    // Nothing of this is reported.
  }
  ReleaseGame();
}

void TGameManager::ResetVersions(const std::string& VersionFile) {
  std::string bytes = Files_.ReadFile(VersionFile, kVersionFileLimit);
  // A short file is completed with zeros; bytes after the record stay.
  if (bytes.size() < sizeof(TDataVersionRecord)) bytes.resize(sizeof(TDataVersionRecord), '\0');
  TDataVersionRecord record;
  std::memcpy(&record, bytes.data(), sizeof record);
  record.InitVersion = 0;
  record.UpdateVersion = 0;
  std::memcpy(bytes.data(), &record, sizeof record);
  WriteFileAtomically(Files_, VersionFile, bytes);
}

}  // namespace qel
