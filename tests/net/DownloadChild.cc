// A browser's stand-in that a test kills in the middle of a download: runs a
// data downloader for one init pack and says "started" once it is under way.
//   download_child <url> <data folder> <target version>
#include <cstdio>
#include <cstdlib>

#include "net/HttpDownloader.h"
#include "platform/Loop.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fputs("usage: download_child <url> <data folder> <target version>\n", stderr);
    return 2;
  }
  qel::THttpDownloader downloader;
  downloader.InitUrl = argv[1];
  downloader.InitTargetVersion = std::atoi(argv[3]);
  downloader.FlushIntervalMs = 20;
  downloader.SetDataDir(argv[2]);
  downloader.StartNext();
  std::puts("started");
  std::fflush(stdout);
  // The test kills it long before this ends.
  qel::RunLoopUntil(
      [&] {
        downloader.Poll();
        return downloader.State() != qel::dsInitDownloading;
      },
      120000);
  return 1;
}
