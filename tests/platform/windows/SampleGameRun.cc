#include "SampleGameRun.h"

#include <vector>

#include "platform/Loop.h"

namespace qel::test {

TSampleGameRun::TSampleGameRun(const std::string& title, const std::string& class_name,
                               const std::string& parameters) {
  PutFile(Folder_ / "config.ini",
          "[GameLaunch]\r\nInitKind=2\r\nWndTitle=" + title + "\r\nWndClassName=" + class_name + "\r\n");
  // The shell only changes folder and then becomes the game, keeping its id.
  const char* script = parameters.empty() ? "cd \"$0\" && exec \"$1\"" : "cd \"$0\" && exec \"$1\" \"$2\"";
  std::vector<std::string> args = {"-c", script, Folder_.Path(), QEL_SAMPLE_GAME_CLIENT};
  if (!parameters.empty()) args.push_back(parameters);
  Process_ = std::make_unique<TChildProcess>("/bin/sh", args);
}

TWindowHandle TSampleGameRun::AwaitWindow(TWindowSystem& windows, int timeout_ms) {
  TWindowHandle found = 0;
  RunLoopUntil([&] { return (found = TopLevelWindowOf(windows, Pid())) != 0; }, timeout_ms);
  return found;
}

TWindowHandle TopLevelWindowOf(TWindowSystem& windows, uint32_t pid) {
  TWindowHandle found = 0;
  windows.EnumTopLevelWindows([&](TWindowHandle window) {
    if (windows.WindowProcessId(window) == pid) found = window;
    return found == 0;
  });
  return found;
}

}  // namespace qel::test
