#include "net/HttpDownloader.h"

#include <exception>
#include <filesystem>

#include "platform/AnsiText.h"
#include "platform/AtomicFile.h"
#include "platform/Error.h"

namespace qel {
namespace {

// A validator is a header value: a few dozen bytes.
constexpr uint64_t kMostTagBytes = 4096;

}  // namespace

std::unique_ptr<TFileDownloader> THttpDownloader::Create() { return std::make_unique<THttpDownloader>(); }

THttpDownloader::~THttpDownloader() {
  for (TPackTransfer* transfer : {&Init_, &Update_}) {
    transfer->Extraction.reset();
    transfer->Mapping.reset();
    transfer->Request.reset();
    transfer->Body.reset();
    transfer->Cache.reset();
  }
}

void THttpDownloader::StartInitDownload() { StartDownload(pkInit); }

void THttpDownloader::StartUpdateDownload() { StartDownload(pkUpdate); }

void THttpDownloader::StartDownload(TPackKind Kind) {
  TPackTransfer& transfer = Transfer(Kind);
  int32_t resume_at = 0;
  std::string validator;
  const std::string cache_path = CachePath(Kind);
  std::unique_ptr<TDataFile> file;
  std::error_code missing;
  if (CacheVersion(Kind) == TargetVersion(Kind) && std::filesystem::exists(cache_path, missing)) {
    file = TDataFile::Open(cache_path);
    // Bytes beyond the recorded size were never flushed and are written again.
    if (file->Size() < CacheSize(Kind)) {
      SetCache(Kind, 0, 0);
    } else {
      resume_at = CacheSize(Kind);
      try {
        validator = Files().ReadFile(TagPath(Kind), kMostTagBytes);
      } catch (const EQelError&) {
        // No validator: the server is asked for the range as it is.
      }
    }
  }

  try {
    if (!file) file = TDataFile::Open(cache_path);
    transfer.Cache = std::make_unique<TPackCache>(std::move(file), CacheRecords(Kind));
    transfer.Cache->FlushIntervalMs = FlushIntervalMs;
    transfer.Request = std::make_unique<THttpRequest>();
    transfer.Body = std::make_unique<TCacheBody>(*transfer.Request, *transfer.Cache);
    transfer.Request->SetBody(transfer.Body.get());
    transfer.Request->ResumeValidator = validator;
    transfer.Request->TimeoutMs = TimeoutMs;
    transfer.Request->OnFailed = [this, Kind](THttpRequest&) { PackFailed(Kind); };
    transfer.Request->OnComplete = [this, Kind](THttpRequest&) { PackComplete(Kind); };
    State_ = Kind == pkInit ? dsInitDownloading : dsUpdateDownloading;
    transfer.Request->Start(AnsiToUtf16(Kind == pkInit ? InitUrl : UpdateUrl), resume_at);
  } catch (const std::exception&) {
    State_ = dsError;
  }
}

TPackCacheRecords THttpDownloader::CacheRecords(TPackKind Kind) const {
  // The cache's thread writes the record while this thread leaves it alone:
  // from the start of the transfer until the cache is stopped or done.
  const TDataVersionRecord base = Versions_;
  const int32_t version = TargetVersion(Kind);
  return {
      .RecordSize =
          [this, base, Kind, version](int32_t size) {
            TDataVersionRecord record = base;
            SetCache(record, Kind, size > 0 ? version : 0, size);
            WriteVersionRecord(record);
          },
      .RecordValidator =
          [this, Kind](const std::string& validator) {
            if (validator.empty()) {
              if (!Files().RemoveFile(TagPath(Kind))) throw EQelError("cannot delete " + TagPath(Kind));
            } else {
              WriteFileAtomically(Files(), TagPath(Kind), validator);
            }
          },
  };
}

void THttpDownloader::PackFailed(TPackKind Kind) {
  State_ = dsError;
  KeepReceivedBytes(Kind);
}

void THttpDownloader::PackComplete(TPackKind Kind) {
  // The cache hashes its last bytes and flushes them; the extraction starts
  // from Poll once it is done.
  Transfer(Kind).Cache->Finish();
  State_ = Kind == pkInit ? dsInitExtracting : dsUpdateExtracting;
}

void THttpDownloader::AbortDownload() {
  if (State_ == dsInitDownloading) AbortPack(pkInit);
  if (State_ == dsUpdateDownloading) AbortPack(pkUpdate);
}

void THttpDownloader::AbortPack(TPackKind Kind) {
  TPackTransfer& transfer = Transfer(Kind);
  transfer.Request->Abort();
  if (transfer.Request->Received() > 0) {
    KeepReceivedBytes(Kind);
    return;
  }
  // A cache that was valid before this attempt is given up.
  transfer.Cache.reset();
  SetCache(Kind, 0, 0);
  SaveVersions();
}

void THttpDownloader::KeepReceivedBytes(TPackKind Kind) {
  TPackTransfer& transfer = Transfer(Kind);
  // A transfer that wrote nothing leaves the record as it was.
  if (transfer.Cache->Written() == 0 && transfer.Request->Received() == 0) {
    transfer.Cache.reset();
    return;
  }
  int32_t kept = 0;
  try {
    kept = transfer.Cache->Keep();
  } catch (const EQelError&) {
    kept = 0;
  }
  SetCache(Kind, kept > 0 ? TargetVersion(Kind) : 0, kept);
  SaveVersions();
}

void THttpDownloader::Poll() {
  if (Init_.Request) Init_.Request->Poll();
  if (Update_.Request) Update_.Request->Poll();
  switch (State_) {
    case dsInitDownloading:
      if (InitTotal_ == 0) InitTotal_ = Init_.Request->ContentLength();
      InitReceived_ = Init_.Request->Offset() + Init_.Request->Received();
      break;
    case dsUpdateDownloading:
      if (UpdateTotal_ == 0) UpdateTotal_ = Update_.Request->ContentLength();
      UpdateReceived_ = Update_.Request->Offset() + Update_.Request->Received();
      break;
    case dsInitExtracting:
      PollExtraction(pkInit);
      break;
    case dsUpdateExtracting:
      PollExtraction(pkUpdate);
      break;
    default:
      break;
  }
}

void THttpDownloader::PollExtraction(TPackKind Kind) {
  TPackTransfer& transfer = Transfer(Kind);
  if (!transfer.Extraction) {
    if (transfer.Cache->Done()) StartExtraction(Kind);
    return;
  }
  if (transfer.Extraction->Finished()) ExtractionEnded(Kind, transfer.Extraction->Succeeded());
}

void THttpDownloader::StartExtraction(TPackKind Kind) {
  TPackTransfer& transfer = Transfer(Kind);
  if (!transfer.Cache->Succeeded()) {
    // What the cache last recorded is unknown; its bytes are not trusted.
    State_ = dsError;
    ForgetCache(Kind);
    return;
  }
  const int32_t length = transfer.Request->ContentLength();
  (Kind == pkInit ? InitReceived_ : UpdateReceived_) = length;
  SetCache(Kind, TargetVersion(Kind), length);
  const TDataVersionRecord unclaimed = WithoutVersionOf(Kind == pkInit);
  transfer.Installed = Versions_;
  (Kind == pkInit ? transfer.Installed.InitVersion : transfer.Installed.UpdateVersion) = TargetVersion(Kind);
  SetCache(transfer.Installed, Kind, 0, 0);
  try {
    transfer.Mapping = TMappedFile::Open(CachePath(Kind));
    transfer.Extraction = StartExtraction_({
        .DestDir = DataDir(),
        .Pack = transfer.Mapping->Bytes(),
        .GameGuid = GameGuid,
        .SignedDigest = transfer.Cache->SignedDigest(),
        .BeforeWriting =
            [this, &transfer, unclaimed] {
              WriteVersionRecord(unclaimed);
              transfer.Unclaimed.store(true, std::memory_order_release);
            },
        .AfterWriting =
            [this, &transfer, Kind] {
              WriteVersionRecord(transfer.Installed);
              // Recorded as installed first: a cache left behind by a crash
              // here is stale, and a later transfer from 0 writes over it.
              // Emptied here, where freeing a large file's blocks keeps
              // nobody waiting. Nothing reads the mapping any more, and it
              // goes first: Windows cuts no file while a view of it is
              // mapped. The plug-in thread touches it again only once this
              // thread has been joined.
              transfer.Mapping.reset();
              transfer.Cache->Discard();
              Files().RemoveFile(CachePath(Kind));
              Files().RemoveFile(TagPath(Kind));
            },
    });
  } catch (const std::exception&) {
    State_ = dsError;
    transfer.Mapping.reset();
  }
}

void THttpDownloader::ExtractionEnded(TPackKind Kind, bool Succeeded) {
  TPackTransfer& transfer = Transfer(Kind);
  transfer.Extraction.reset();
  transfer.Mapping.reset();
  if (transfer.Unclaimed.load(std::memory_order_acquire)) {
    (Kind == pkInit ? Versions_.InitVersion : Versions_.UpdateVersion) = 0;
  }
  if (!Succeeded) {
    State_ = dsError;
    // A whole pack that does not unpack is fetched anew next time.
    ForgetCache(Kind);
    return;
  }
  transfer.Cache.reset();
  Versions_ = transfer.Installed;
  ContinueAfterInstall(Kind == pkInit);
}

void THttpDownloader::ForgetCache(TPackKind Kind) {
  SetCache(Kind, 0, 0);
  Transfer(Kind).Cache.reset();
  SaveVersions();
}

std::string THttpDownloader::CachePath(TPackKind Kind) const {
  return DataDir() + (Kind == pkInit ? kInitCacheFileName : kUpdateCacheFileName);
}

std::string THttpDownloader::TagPath(TPackKind Kind) const {
  return DataDir() + (Kind == pkInit ? kInitCacheTagFileName : kUpdateCacheTagFileName);
}

int32_t THttpDownloader::TargetVersion(TPackKind Kind) const {
  return Kind == pkInit ? InitTargetVersion : UpdateTargetVersion;
}

int32_t THttpDownloader::CacheVersion(TPackKind Kind) const {
  return Kind == pkInit ? Versions_.InitCacheVersion : Versions_.UpdateCacheVersion;
}

int32_t THttpDownloader::CacheSize(TPackKind Kind) const {
  return Kind == pkInit ? Versions_.InitCacheSize : Versions_.UpdateCacheSize;
}

void THttpDownloader::SetCache(TPackKind Kind, int32_t Version, int32_t Size) {
  SetCache(Versions_, Kind, Version, Size);
}

void THttpDownloader::SetCache(TDataVersionRecord& Record, TPackKind Kind, int32_t Version, int32_t Size) {
  if (Kind == pkInit) {
    Record.InitCacheVersion = Version;
    Record.InitCacheSize = Size;
  } else {
    Record.UpdateCacheVersion = Version;
    Record.UpdateCacheSize = Size;
  }
}

}  // namespace qel
