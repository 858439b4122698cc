// Stands in for the HTTP downloader in workflow tests: the test says how far
// it has come.
#pragma once

#include <cstdint>
#include <memory>

#include "net/FileDownloader.h"

namespace qel::test {

class TFakeDownloader : public TFileDownloader {
 public:
  static std::unique_ptr<TFileDownloader> Create() { return std::make_unique<TFakeDownloader>(); }

  void StartInitDownload() override;
  void StartUpdateDownload() override;
  void AbortDownload() override { ++Aborts; }
  void Poll() override;

  void Receive(int32_t received, int32_t total);
  void Finish() { State_ = dsDone; }
  void Break() { State_ = dsError; }

  int Starts = 0;
  int Aborts = 0;
  bool FailPoll = false;
};

}  // namespace qel::test
