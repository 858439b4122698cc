#include "net/HttpDownloader.h"

#include <exception>
#include <filesystem>
#include <limits>
#include <thread>

#include "platform/AnsiText.h"
#include "platform/Error.h"

namespace qel {

std::unique_ptr<TFileDownloader> THttpDownloader::Create() { return std::make_unique<THttpDownloader>(); }

THttpDownloader::~THttpDownloader() {
  if (Init_.Extraction) Init_.Extraction->WaitUntilFinished();
  if (Update_.Extraction) Update_.Extraction->WaitUntilFinished();
  Init_.Request.reset();
  Init_.Extraction.reset();
  Update_.Request.reset();
  Update_.Extraction.reset();
  Init_.CacheStream.reset();
  Update_.CacheStream.reset();
}

void THttpDownloader::StartInitDownload() { StartDownload(pkInit); }

void THttpDownloader::StartUpdateDownload() { StartDownload(pkUpdate); }

void THttpDownloader::StartDownload(TPackKind Kind) {
  TPackTransfer& transfer = Transfer(Kind);
  int32_t resume_at = 0;
  const std::string cache_path = CachePath(Kind);
  std::error_code missing;
  if (CacheVersion(Kind) == TargetVersion(Kind) && std::filesystem::exists(cache_path, missing)) {
    auto stream = std::make_unique<std::fstream>(cache_path, std::ios::in | std::ios::out | std::ios::binary);
    if (!stream->is_open()) throw EQelError("cannot open " + cache_path);
    stream->seekg(0, std::ios::end);
    const std::streamoff size = stream->tellg();
    if (size != CacheSize(Kind)) {
      SetCache(Kind, 0, 0);
    } else {
      resume_at = CacheSize(Kind);
      transfer.CacheStream = std::move(stream);
    }
  }

  try {
    transfer.Request = std::make_unique<THttpRequest>();
    transfer.Request->OnFailed = [this, Kind](THttpRequest&) { PackFailed(Kind); };
    transfer.Request->OnComplete = [this, Kind](THttpRequest&) { PackComplete(Kind); };
    State_ = Kind == pkInit ? dsInitDownloading : dsUpdateDownloading;
    transfer.Request->Start(AnsiToUtf16(Kind == pkInit ? InitUrl : UpdateUrl), resume_at);
  } catch (const std::exception&) {
    State_ = dsError;
  }
}

void THttpDownloader::PackFailed(TPackKind Kind) {
  State_ = dsError;
  // Resuming again would fail the same way (a server that ignores ranges,
  // a pack replaced under the same version).
  if (Transfer(Kind).Request->Offset() > 0) ForgetCache(Kind);
}

void THttpDownloader::PackComplete(TPackKind Kind) {
  TPackTransfer& transfer = Transfer(Kind);
  THttpRequest& request = *transfer.Request;
  if (request.Offset() != 0) {
    if (!transfer.CacheStream) {
      State_ = dsError;
      ForgetCache(Kind);
      return;
    }
    try {
      transfer.CacheStream->clear();
      transfer.CacheStream->seekg(0);
      request.LoadResumedPart(*transfer.CacheStream, CacheSize(Kind));
    } catch (const EQelError&) {
      // The cache file changed under us since the transfer started.
      State_ = dsError;
      ForgetCache(Kind);
      return;
    }
    SetCache(Kind, 0, 0);
    transfer.CacheStream.reset();
  }
  State_ = Kind == pkInit ? dsInitExtracting : dsUpdateExtracting;
  try {
    transfer.Extraction = StartExtraction_(DataDir(), request.Data()->Bytes(), GameGuid);
  } catch (const std::exception&) {
    State_ = dsError;
    if (request.Offset() != 0) ForgetCache(Kind);
  }
}

void THttpDownloader::AbortDownload() {
  if (State_ == dsInitDownloading) AbortPack(pkInit);
  if (State_ == dsUpdateDownloading) AbortPack(pkUpdate);
}

void THttpDownloader::AbortPack(TPackKind Kind) {
  THttpRequest& request = *Transfer(Kind).Request;
  request.Abort();
  std::this_thread::yield();
  const uint8_t* const bytes = request.NewData();
  const int32_t received = request.Received();
  if (bytes != nullptr && received > 0) {
    KeepReceivedBytes(Kind, bytes, received);
  } else {
    // A cache that was valid before this attempt is given up.
    SetCache(Kind, 0, 0);
  }
  SaveVersions();
}

void THttpDownloader::KeepReceivedBytes(TPackKind Kind, const uint8_t* Bytes, int32_t N) {
  TPackTransfer& transfer = Transfer(Kind);
  const char* const data = reinterpret_cast<const char*>(Bytes);
  if (transfer.CacheStream && CacheVersion(Kind) == TargetVersion(Kind)) {
    // A resumed transfer: its bytes follow those already in the file.
    std::fstream& cache = *transfer.CacheStream;
    const int64_t size = int64_t{CacheSize(Kind)} + N;
    const bool fits = size <= std::numeric_limits<int32_t>::max();
    cache.clear();
    cache.seekp(CacheSize(Kind));
    cache.write(data, N);
    cache.flush();
    std::error_code failed;
    if (cache && fits) std::filesystem::resize_file(CachePath(Kind), static_cast<uintmax_t>(size), failed);
    if (!cache || failed || !fits) {
      SetCache(Kind, 0, 0);
    } else {
      SetCache(Kind, CacheVersion(Kind), static_cast<int32_t>(size));
    }
  } else if (transfer.Request->Offset() != 0) {
    SetCache(Kind, 0, 0);
  } else {
    std::ofstream cache(CachePath(Kind), std::ios::binary | std::ios::trunc);
    cache.write(data, N);
    cache.close();
    if (cache) {
      SetCache(Kind, TargetVersion(Kind), N);
    } else {
      SetCache(Kind, 0, 0);
    }
  }
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
  if (!transfer.Extraction->Finished()) return;
  const bool succeeded = transfer.Extraction->Succeeded();
  transfer.Extraction.reset();
  if (!succeeded) {
    State_ = dsError;
    // The cache fields were cleared when the resumed pack was put together;
    // this puts that on disk, so that the next attempt starts at 0.
    if (transfer.Request->Offset() != 0) SaveVersions();
    return;
  }
  PackInstalled(Kind == pkInit);
}

void THttpDownloader::ForgetCache(TPackKind Kind) {
  SetCache(Kind, 0, 0);
  Transfer(Kind).CacheStream.reset();
  SaveVersions();
}

std::string THttpDownloader::CachePath(TPackKind Kind) const {
  return DataDir() + (Kind == pkInit ? kInitCacheFileName : kUpdateCacheFileName);
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
  if (Kind == pkInit) {
    Versions_.InitCacheVersion = Version;
    Versions_.InitCacheSize = Size;
  } else {
    Versions_.UpdateCacheVersion = Version;
    Versions_.UpdateCacheSize = Size;
  }
}

}  // namespace qel
