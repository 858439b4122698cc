// The sample game's client started as the launcher starts it: in a folder of
// its own holding its config.ini, with the parameter string as its one
// argument. Killed at the end if it still runs.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "ChildProcess.h"
#include "TempFolder.h"
#include "platform/NativeWindows.h"

namespace qel::test {

class TSampleGameRun {
 public:
  // An empty parameter string starts it with no argument.
  TSampleGameRun(const std::string& title, const std::string& class_name, const std::string& parameters);

  const TTempFolder& Folder() const { return Folder_; }
  uint32_t Pid() const { return static_cast<uint32_t>(Process_->Pid()); }
  // The top-level window that says it belongs to the game's process, waited
  // for at most the given time; 0 when none came.
  TWindowHandle AwaitWindow(TWindowSystem& windows, int timeout_ms);
  std::optional<int> WaitForExit(int timeout_ms) { return Process_->WaitForExit(timeout_ms); }

 private:
  TTempFolder Folder_;
  std::unique_ptr<TChildProcess> Process_;
};

// The window among the top-level windows whose process id is `pid`, or 0.
TWindowHandle TopLevelWindowOf(TWindowSystem& windows, uint32_t pid);

}  // namespace qel::test
