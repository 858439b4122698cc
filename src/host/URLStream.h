// The system's side of one browser stream: collects the data in memory or
// opens the file the browser stored them in, reports progress and the end.
#pragma once

#include <cstdint>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/NPApi.h"

namespace qel {

enum TStreamMode : uint8_t { smMemory = 1, smFile = 2 };

class TURLStream {
 public:
  using TProgressEvent = std::function<void(TURLStream& sender, int32_t bytes, int32_t total)>;
  using TDoneEvent = std::function<void(TURLStream& sender, NPReason reason)>;

  TURLStream() = default;
  ~TURLStream();
  TURLStream(const TURLStream&) = delete;
  TURLStream& operator=(const TURLStream&) = delete;

  void Attach(NPStream* stream, NPP instance, TStreamMode mode);
  int32_t Write(NPStream* stream, int32_t offset, const void* buffer, int32_t length);
  void StreamAsFile(NPStream* stream, const char* file_name);
  NPError DestroyStream(NPStream* stream, NPReason reason);
  // Ends the stream on the system's side; with `tell`, the browser's too.
  void Finish(NPReason reason, bool tell);
  // Asks the browser to end the stream; it stays attached until it does.
  void Cancel();
  // An independent copy of everything received; none before data exist.
  std::optional<std::vector<uint8_t>> CopyData();
  // Everything received, handed over: bytes collected in memory move out
  // without a copy and the stream keeps none; a file's bytes are read as
  // CopyData reads them. For a stream that has finished.
  std::optional<std::vector<uint8_t>> TakeData();

  const std::string& Url() const { return Url_; }
  bool Attached() const { return Stream_ != nullptr && Stream_->pdata == this; }

  TProgressEvent OnProgress;
  TDoneEvent OnDone;

 private:
  NPStream* Stream_ = nullptr;
  NPP Instance_ = nullptr;
  std::string Url_;
  TStreamMode Mode_ = smMemory;
  std::unique_ptr<std::vector<uint8_t>> Memory_;
  std::unique_ptr<std::ifstream> File_;
};

}  // namespace qel
