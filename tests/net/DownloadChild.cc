// A browser's stand-in that a test kills in the middle of an install: runs a
// data downloader for one init pack and says "started" once it is under
// way. With --hold-while-writing it says "writing" once the pack proved
// sound and the record was changed for its extraction, and then holds the
// extraction there until it is killed.
//   download_child <url> <data folder> <target version> [<game> --hold-while-writing]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "net/HttpDownloader.h"
#include "platform/Loop.h"

namespace {

void Say(const char* line) {
  std::puts(line);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  const bool hold = argc == 6 && std::strcmp(argv[5], "--hold-while-writing") == 0;
  if (argc != 4 && !hold) {
    std::fputs("usage: download_child <url> <data folder> <target version> [<game> --hold-while-writing]\n", stderr);
    return 2;
  }
  qel::THttpDownloader downloader;
  downloader.InitUrl = argv[1];
  downloader.InitTargetVersion = std::atoi(argv[3]);
  downloader.FlushIntervalMs = 20;
  if (hold) {
    downloader.GameGuid = argv[4];
    downloader.SetExtractionStarterForTesting([](qel::TPackExtractionJob job) {
      job.BeforeWriting = [before = std::move(job.BeforeWriting)] {
        before();
        Say("writing");
        for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
      };
      return qel::StartExtractThread(std::move(job));
    });
  }
  downloader.SetDataDir(argv[2]);
  downloader.StartNext();
  Say("started");
  // The test kills it long before this ends.
  qel::RunLoopUntil(
      [&] {
        downloader.Poll();
        return downloader.State() == qel::dsDone || downloader.State() == qel::dsError;
      },
      120000);
  return 1;
}
