// The data downloader over HTTP. Each pack is fetched with a THttpRequest
// straight into its cache file, which a TPackCache flushes, records and
// hashes as the bytes arrive, so that a transfer broken off for any reason
// (an abort, a failure, a killed process) continues after the bytes on the
// disk next time. A complete pack is unpacked from its file, mapped into
// memory, on an extraction thread; the record stops claiming the version
// being replaced before the first byte is written, and names the new one
// only after the extraction flushed everything it wrote. Records, flushes
// and deletions of large files are done on the cache's and the extraction's
// threads, so that the plug-in thread never waits for the disk.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "net/FileDownloader.h"
#include "net/HttpRequest.h"
#include "net/PackCache.h"
#include "net/PackExtraction.h"
#include "platform/MappedFile.h"

namespace qel {

inline constexpr char kInitCacheFileName[] = "_init_cache.tmp";
inline constexpr char kUpdateCacheFileName[] = "_update_cache.tmp";
// The validator of the resource a cache file's bytes come from.
inline constexpr char kInitCacheTagFileName[] = "_init_cache.tag";
inline constexpr char kUpdateCacheTagFileName[] = "_update_cache.tag";

class THttpDownloader : public TFileDownloader {
 public:
  // The class's constructor as a TFileDownloaderClass.
  static std::unique_ptr<TFileDownloader> Create();

  THttpDownloader() = default;
  // Stops a running extraction between blocks (the record then makes the
  // next visit fetch and unpack the pack again) and the transfers.
  ~THttpDownloader() override;

  // Raises EQelError, leaving the state, when a cache file that is to be
  // used exists but cannot be opened.
  void StartInitDownload() override;
  void StartUpdateDownload() override;
  void AbortDownload() override;
  void Poll() override;

  // Test seams: how complete packs are unpacked; the requests' stall limit
  // and the caches' flush interval.
  void SetExtractionStarterForTesting(TPackExtractionStarter starter) { StartExtraction_ = std::move(starter); }
  int32_t TimeoutMs = kHttpStallTimeoutMs;
  int32_t FlushIntervalMs = 1000;

 private:
  enum TPackKind : uint8_t { pkInit, pkUpdate };

  // The request's body goes into the pack's cache.
  class TCacheBody final : public IRequestBody {
   public:
    TCacheBody(const THttpRequest& Request, TPackCache& Cache) : Request_(Request), Cache_(Cache) {}
    bool BodyStarts(int32_t Offset, int32_t ContentLength) override {
      return Cache_.Begin(Offset, ContentLength, Request_.Validator());
    }
    bool BodyData(const uint8_t* Data, int32_t Size) override { return Cache_.Append(Data, Size); }
    int64_t BodyRoom() const override { return Cache_.Room(); }

   private:
    const THttpRequest& Request_;
    TPackCache& Cache_;
  };

  // What the downloader holds for one pack; each part is absent until used.
  // While an extraction runs, its thread uses Cache and Installed too, and
  // this thread leaves them alone until the extraction is gone.
  struct TPackTransfer {
    std::unique_ptr<TPackCache> Cache;
    std::unique_ptr<TCacheBody> Body;
    std::unique_ptr<THttpRequest> Request;
    std::unique_ptr<TMappedFile> Mapping;
    std::unique_ptr<TPackExtraction> Extraction;
    // Set on the extraction's thread once the record no longer claims the
    // version being replaced.
    std::atomic<bool> Unclaimed{false};
    // The record the extraction's thread writes once the pack is installed.
    TDataVersionRecord Installed{};
  };

  void StartDownload(TPackKind Kind);
  TPackCacheRecords CacheRecords(TPackKind Kind) const;
  // The request's notifications.
  void PackComplete(TPackKind Kind);
  void PackFailed(TPackKind Kind);
  void AbortPack(TPackKind Kind);
  // The bytes written so far stay in the cache for the next attempt.
  void KeepReceivedBytes(TPackKind Kind);
  void PollExtraction(TPackKind Kind);
  void StartExtraction(TPackKind Kind);
  void ExtractionEnded(TPackKind Kind, bool Succeeded);
  // The cache is given up, on disk too, so that the next attempt starts at 0.
  void ForgetCache(TPackKind Kind);

  TPackTransfer& Transfer(TPackKind Kind) { return Kind == pkInit ? Init_ : Update_; }
  std::string CachePath(TPackKind Kind) const;
  std::string TagPath(TPackKind Kind) const;
  int32_t TargetVersion(TPackKind Kind) const;
  int32_t CacheVersion(TPackKind Kind) const;
  int32_t CacheSize(TPackKind Kind) const;
  void SetCache(TPackKind Kind, int32_t Version, int32_t Size);
  static void SetCache(TDataVersionRecord& Record, TPackKind Kind, int32_t Version, int32_t Size);

  TPackTransfer Init_;
  TPackTransfer Update_;
  TPackExtractionStarter StartExtraction_ = &StartExtractThread;
};

}  // namespace qel
