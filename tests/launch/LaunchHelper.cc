// A separate process for the cross-process tests: it holds named objects and
// works on the install register as another browser process would, driven by
// one command per line on its standard input, answering one line each.
//
//   launch_helper <named-object folder>
//   mutex <name>                 -> ok | error <text>
//   wait <ms>                    -> owned | busy
//   release                      -> released | error <text>
//   semaphore <name> <units>     -> ok | error <text>
//   take <n>                     -> took <k>   (at most n units, no waiting)
//   give <n>                     -> gave <n> | error <text>
//   add <folder> <id> <path>     -> added | refused
//   add-many <folder> <prefix> <count>
//                                -> added <k>  (prefix-0 ... , retried while busy)
//   crash-add <folder> <id> <path>
//                                -> renaming, then waits to be killed before
//                                   the new register is put in place
//   quit
#include <cstdlib>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>

#include "FaultyFileSystem.h"
#include "launch/GameRegister.h"
#include "platform/Error.h"
#include "platform/NamedMutex.h"
#include "platform/NamedObjectFolder.h"
#include "platform/NamedSemaphore.h"

namespace {

using namespace qel;

// A busy register gives up after 20 ms; a writer that meets one retries.
constexpr int kBusyRetries = 2000;

void Answer(const std::string& line) { std::cout << line << std::endl; }

int AddMany(const std::string& folder, const std::string& prefix, int count) {
  TGameRegister game_register(folder);
  int added = 0;
  for (int i = 0; i < count; ++i) {
    const std::string id = prefix + "-" + std::to_string(i);
    for (int attempt = 0; attempt < kBusyRetries; ++attempt) {
      if (game_register.AddRecord(id, "/games/" + id + "/")) {
        ++added;
        break;
      }
    }
  }
  return added;
}

void CrashAdd(const std::string& folder, const std::string& id, const std::string& path) {
  test::TFaultyFileSystem files;
  files.BeforeRename = [](const std::string&, const std::string&) {
    Answer("renaming");
    std::string never;
    std::getline(std::cin, never);
    std::_Exit(3);  // the test went away without killing us: still no rename
  };
  TGameRegister game_register(folder, files);
  game_register.AddRecord(id, path);
  Answer("not reached");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: launch_helper <named-object folder>\n";
    return 2;
  }
  SetNamedObjectFolderForTesting(argv[1]);
  std::unique_ptr<TNamedMutex> mutex;
  std::unique_ptr<TNamedSemaphore> semaphore;

  std::string line;
  while (std::getline(std::cin, line)) {
    std::istringstream words(line);
    std::string command;
    words >> command;
    try {
      if (command == "mutex") {
        std::string name;
        words >> name;
        mutex.reset();
        mutex = std::make_unique<TNamedMutex>(name);
        Answer("ok");
      } else if (command == "wait") {
        int ms = 0;
        words >> ms;
        Answer(mutex->Wait(ms) ? "owned" : "busy");
      } else if (command == "release") {
        mutex->Release();
        Answer("released");
      } else if (command == "semaphore") {
        std::string name;
        int units = 0;
        words >> name >> units;
        semaphore.reset();
        semaphore = std::make_unique<TNamedSemaphore>(name, units);
        Answer("ok");
      } else if (command == "take") {
        int wanted = 0;
        words >> wanted;
        int took = 0;
        while (took < wanted && semaphore->TryAcquire()) ++took;
        Answer("took " + std::to_string(took));
      } else if (command == "give") {
        int count = 0;
        words >> count;
        semaphore->Release(count);
        Answer("gave " + std::to_string(count));
      } else if (command == "add") {
        std::string folder, id, path;
        words >> folder >> id >> path;
        Answer(TGameRegister(folder).AddRecord(id, path) ? "added" : "refused");
      } else if (command == "add-many") {
        std::string folder, prefix;
        int count = 0;
        words >> folder >> prefix >> count;
        Answer("added " + std::to_string(AddMany(folder, prefix, count)));
      } else if (command == "crash-add") {
        std::string folder, id, path;
        words >> folder >> id >> path;
        CrashAdd(folder, id, path);
      } else if (command == "quit") {
        return 0;
      } else {
        Answer("error unknown command " + command);
      }
    } catch (const EQelError& failure) {
      Answer(std::string("error ") + failure.what());
    }
  }
  return 0;
}
