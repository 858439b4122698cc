// The data downloader that fetches the packs through the browser: it asks
// for a pack's address with NPN_GetURL, the browser delivers it as a stream
// to the launcher instance, and the instance hands the stream over here.
// A complete pack is unpacked on an extraction thread, as over HTTP. It
// keeps no cache: a broken transfer starts again from the beginning.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "host/NPApi.h"
#include "host/URLStream.h"
#include "net/FileDownloader.h"
#include "net/PackExtraction.h"

namespace qel {

class TFormLoaderPlugin;

class TURLDownloader : public TFileDownloader {
 public:
  // The class's constructor as a TFileDownloaderClass.
  static std::unique_ptr<TFileDownloader> Create();

  TURLDownloader() = default;
  // Waits, without limit, for a running extraction; the streams stay with
  // the instance, told no longer to report here.
  ~TURLDownloader() override;

  // Without a Plugin, or when the browser refuses, the state becomes dsError.
  void StartInitDownload() override;
  void StartUpdateDownload() override;
  // Asks the browser to end the streams; their end then fails the download.
  void AbortDownload() override;
  void Poll() override;

  // The instance's NewStream: takes a stream of `instance` (which must be
  // Plugin) whose address is one of the packs', the init pack's first.
  NPError AcceptStream(const char* mime_type, NPStream* stream, uint16_t* stream_type, TFormLoaderPlugin& instance);

  // The launcher instance whose browser delivers the streams; not owned.
  TFormLoaderPlugin* Plugin = nullptr;

  // Test seam: how complete packs are unpacked.
  void SetExtractionStarterForTesting(TPackExtractionStarter starter) { StartExtraction_ = std::move(starter); }

 private:
  enum TPackKind : uint8_t { pkInit, pkUpdate };

  // What the downloader holds for one pack.
  struct TPackTransfer {
    TURLStream* Stream = nullptr;  // the instance's, while the pack arrives
    std::optional<std::vector<uint8_t>> PackData;
    std::unique_ptr<TPackExtraction> Extraction;
  };

  void StartDownload(TPackKind kind);
  void OnPackStreamProgress(TURLStream& stream, int32_t bytes, int32_t total);
  void OnPackStreamDone(TURLStream& stream, NPReason reason);
  void PollExtraction(TPackKind kind);
  TPackTransfer& Transfer(TPackKind kind) { return kind == pkInit ? Init_ : Update_; }

  TPackTransfer Init_;
  TPackTransfer Update_;
  TPackExtractionStarter StartExtraction_ = &StartExtractThread;
};

}  // namespace qel
