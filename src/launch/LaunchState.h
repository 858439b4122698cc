// Where a game's launch stands, and why it stopped.
#pragma once

#include <cstdint>

namespace qel {

enum TLaunchState : uint8_t {
  lsIdle = 0,           // created, not started
  lsDownloading = 1,    // the downloader fetches or unpacks data; download mutex and all run units held
  lsUpdatePending = 2,  // data complete; the update module still to run
  lsUpdating = 3,       // UpdateGame working
  lsReady = 4,          // waiting for the page's "startapp"
  lsStarting = 5,       // game process started; its window not yet found
  lsRunning = 6,        // game window known
  lsFailed = 8,         // stopped for good; ErrorCode tells why
};

enum TLaunchError : uint8_t {
  leNone = 0,
  leMutexFailed = 1,         // the download mutex cannot be had
  leSemaphoreFailed = 2,     // the run semaphore cannot be had
  leDownloadFailed = 3,      // the downloader failed
  leGameBusy = 4,            // another instance holds the mutex or the needed run units
  leConfigInvalid = 5,       // config.ini unreadable, or InitKind neither 1 nor 2
  leGuidMismatch = 6,        // config.ini names another game
  leUpdateModuleLoad = 7,    // the update module does not load
  leUpdateEntryMissing = 8,  // the update module has no UpdateGame
  leUpdateFailed = 9,        // UpdateGame refused, or its status became 2 or 3
  leInitModuleLoad = 10,     // the init module does not load
  leInitEntryMissing = 11,   // the init module has no InitGame
  leInitFailed = 12,         // InitGame refused
  leProcessStart = 13,       // the game process cannot be started
  leWindowEmbed = 14,        // the game window did not become a child of the host window
  leAborted = 15,            // the page aborted
  leInternal = 16,           // a failure escaped a step
  leInstallPath = 17,        // no install folder qualifies, or it cannot be recorded
};

}  // namespace qel
