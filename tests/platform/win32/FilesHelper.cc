// The other process of the cross-process tests of named objects:
//   win32_files_helper <scope folder> mutex <name>
//     takes the mutex and ends without releasing it;
//   win32_files_helper <scope folder> units <name> <units> <count>
//     takes `count` units and ends without giving them back;
//   win32_files_helper <scope folder> try-mutex <name>
//     exits with 0 when it could take the mutex at once, 1 when not.
// Each ends the hard way (ExitProcess), as a crashed process does: no
// destructor gives anything back.
#include <windows.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "platform/NamedMutex.h"
#include "platform/NamedObjectFolder.h"
#include "platform/NamedSemaphore.h"

int main(int argc, char** argv) {
  if (argc < 4) return 2;
  qel::SetNamedObjectFolderForTesting(argv[1]);
  const std::string command = argv[2];
  try {
    if (command == "mutex") {
      const auto mutex = std::make_unique<qel::TNamedMutex>(argv[3]);
      ::ExitProcess(mutex->Wait(0) ? 0 : 1);
    }
    if (command == "try-mutex") {
      qel::TNamedMutex mutex(argv[3]);
      const bool taken = mutex.Wait(0);
      if (taken) mutex.Release();
      return taken ? 0 : 1;
    }
    if (command == "units" && argc == 6) {
      const auto semaphore = std::make_unique<qel::TNamedSemaphore>(argv[3], std::atoi(argv[4]));
      for (int i = 0; i < std::atoi(argv[5]); ++i)
        if (!semaphore->TryAcquire()) ::ExitProcess(1);
      ::ExitProcess(0);
    }
  } catch (const std::exception&) {
    return 3;
  }
  return 2;
}
