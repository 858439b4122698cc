// Another browser process with one plug-in instance of a game, for the
// cross-process tests: it runs a launcher driven by one command per line on
// its standard input and answers each with one line. Between commands the
// loop runs and the launcher is ticked, as the plug-in's timer would.
//
//   launcher_helper <named-object folder> <plug-in folder> <game id>
//                   <multirun 0|1> <init url> <update url>
//   start              -> state <S> error <E> units <U>
//   until <S> <ms>     -> (ticks on the loop until state S or lsFailed) state ...
//   launch             -> (into a window of its own) state ...
//   quit               (destroys the launcher and ends)
#include <poll.h>

#include <iostream>
#include <memory>
#include <sstream>
#include <string>

#include "launch/GameLauncher.h"
#include "net/HttpDownloader.h"
#include "platform/Loop.h"
#include "platform/NamedObjectFolder.h"
#include "platform/NativeWindows.h"

namespace {

using namespace qel;

bool InputWaiting() {
  pollfd input{0, POLLIN, 0};
  return poll(&input, 1, 0) > 0;
}

void Report(const TGameLauncher& launcher) {
  std::cout << "state " << int(launcher.State()) << " error " << int(launcher.ErrorCode()) << " units "
            << launcher.RunUnits() << std::endl;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 7) {
    std::cerr << "usage: launcher_helper <objects> <plugin folder> <game id> <multirun> <init url> <update url>\n";
    return 2;
  }
  SetNamedObjectFolderForTesting(argv[1]);
  auto launcher = std::make_unique<TGameLauncher>();
  launcher->SetGameInfo(argv[3], std::string(argv[4]) == "1", 1, "", argv[2]);
  launcher->SetDownloader(&THttpDownloader::Create, argv[5], argv[6], 1, 2);

  std::string line;
  while (true) {
    while (!RunLoopUntil(
        [&] {
          launcher->Tick();
          return InputWaiting();
        },
        1000)) {
    }
    if (!std::getline(std::cin, line)) break;
    std::istringstream words(line);
    std::string command;
    words >> command;
    if (command == "start") {
      launcher->Start();
    } else if (command == "until") {
      int state = 0;
      int timeout_ms = 0;
      words >> state >> timeout_ms;
      RunLoopUntil(
          [&] {
            launcher->Tick();
            return launcher->State() == state || launcher->State() == lsFailed;
          },
          timeout_ms);
    } else if (command == "launch") {
      TWindowSystem& windows = DefaultWindowSystem();
      launcher->Launch(windows.CreatePlainWindow(0, 0, 0, 320, 240));
    } else if (command == "quit") {
      break;
    }
    Report(*launcher);
  }
  launcher.reset();
  return 0;
}
