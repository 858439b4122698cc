// The data downloader over HTTP: each pack is fetched with a THttpRequest;
// the bytes of a transfer that is aborted are kept in a cache file, so that
// the next attempt continues after them; a complete pack is unpacked on an
// extraction thread.
#pragma once

#include <fstream>
#include <memory>
#include <string>

#include "net/FileDownloader.h"
#include "net/HttpRequest.h"
#include "net/PackExtraction.h"

namespace qel {

inline constexpr char kInitCacheFileName[] = "_init_cache.tmp";
inline constexpr char kUpdateCacheFileName[] = "_update_cache.tmp";

class THttpDownloader : public TFileDownloader {
 public:
  // The class's constructor as a TFileDownloaderClass.
  static std::unique_ptr<TFileDownloader> Create();

  THttpDownloader() = default;
  // Waits, without limit, for a running extraction: it reads the request's
  // buffer.
  ~THttpDownloader() override;

  // Raises EQelError, leaving the state, when a cache file that is to be
  // used exists but cannot be opened.
  void StartInitDownload() override;
  void StartUpdateDownload() override;
  void AbortDownload() override;
  void Poll() override;

  // Test seam: how complete packs are unpacked.
  void SetExtractionStarterForTesting(TPackExtractionStarter starter) { StartExtraction_ = std::move(starter); }

 private:
  enum TPackKind : uint8_t { pkInit, pkUpdate };

  // What the downloader holds for one pack; each part is absent until used.
  struct TPackTransfer {
    std::unique_ptr<THttpRequest> Request;
    std::unique_ptr<std::fstream> CacheStream;
    std::unique_ptr<TPackExtraction> Extraction;
  };

  void StartDownload(TPackKind Kind);
  // The request's notifications.
  void PackComplete(TPackKind Kind);
  void PackFailed(TPackKind Kind);
  void AbortPack(TPackKind Kind);
  // Keeps the N bytes of an aborted transfer in the pack's cache file.
  void KeepReceivedBytes(TPackKind Kind, const uint8_t* Bytes, int32_t N);
  void PollExtraction(TPackKind Kind);
  // The cache is given up, on disk too, so that the next attempt starts at 0.
  void ForgetCache(TPackKind Kind);

  TPackTransfer& Transfer(TPackKind Kind) { return Kind == pkInit ? Init_ : Update_; }
  std::string CachePath(TPackKind Kind) const;
  int32_t TargetVersion(TPackKind Kind) const;
  int32_t CacheVersion(TPackKind Kind) const;
  int32_t CacheSize(TPackKind Kind) const;
  void SetCache(TPackKind Kind, int32_t Version, int32_t Size);

  TPackTransfer Init_;
  TPackTransfer Update_;
  TPackExtractionStarter StartExtraction_ = &StartExtractThread;
};

}  // namespace qel
