// A game's two named coordination objects as one holder uses them: the
// download mutex, held while the install folder changes, and the run
// semaphore, whose units mark use of the installed game. They are named from
// the identifier lower-cased, as the install register matches identifiers
// without regard to case: two spellings of one game must not let two
// holders change its folder at once.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "launch/ObjectNames.h"
#include "platform/NamedMutex.h"
#include "platform/NamedSemaphore.h"

namespace qel {

class TGameLocks {
 public:
  explicit TGameLocks(std::string_view game_id);
  // Gives back everything still held.
  ~TGameLocks();
  TGameLocks(const TGameLocks&) = delete;
  TGameLocks& operator=(const TGameLocks&) = delete;

  // Create the object or open it when it exists; false when it cannot be had.
  bool OpenMutex();
  bool OpenSemaphore();

  // Waits the 20 ms for the download mutex; true when it is held now.
  bool TakeMutex();
  // Releases the mutex if this holder took it.
  void ReleaseMutex();
  bool MutexHeld() const { return MutexHeld_; }

  // Takes units one at a time without waiting until `needed` are held in
  // all. When fewer are free, the ones taken are given back and the answer
  // is false.
  bool TakeUnits(int needed);
  // Gives back units until at most `count` are held.
  void KeepUnits(int count);
  int RunUnits() const { return RunUnits_; }

  // Releases the mutex and gives back all units, then closes both objects.
  void Close();

 private:
  std::string Key_;
  std::unique_ptr<TNamedMutex> Mutex_;
  std::unique_ptr<TNamedSemaphore> Semaphore_;
  bool MutexHeld_ = false;
  int RunUnits_ = 0;
};

}  // namespace qel
