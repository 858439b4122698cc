#include "FakeDownloader.h"

#include "platform/Error.h"

namespace qel::test {

void TFakeDownloader::StartInitDownload() {
  ++Starts;
  State_ = dsInitDownloading;
}

void TFakeDownloader::StartUpdateDownload() {
  ++Starts;
  State_ = dsUpdateDownloading;
}

void TFakeDownloader::Poll() {
  if (FailPoll) throw EQelError("the downloader broke down");
}

void TFakeDownloader::Receive(int32_t received, int32_t total) {
  InitReceived_ = received;
  InitTotal_ = total;
}

}  // namespace qel::test
