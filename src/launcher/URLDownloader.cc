#include "launcher/URLDownloader.h"

#include <exception>

#include "host/NPFuncs.h"
#include "launcher/FormLoaderPlugin.h"

namespace qel {

std::unique_ptr<TFileDownloader> TURLDownloader::Create() { return std::make_unique<TURLDownloader>(); }

TURLDownloader::~TURLDownloader() {
  for (TPackTransfer* transfer : {&Init_, &Update_}) {
    if (transfer->Extraction) transfer->Extraction->WaitUntilFinished();
    // The instance finishes its streams after this downloader is gone.
    if (transfer->Stream != nullptr) {
      transfer->Stream->OnProgress = nullptr;
      transfer->Stream->OnDone = nullptr;
    }
  }
  Init_.PackData.reset();
  Init_.Extraction.reset();
  Update_.PackData.reset();
  Update_.Extraction.reset();
}

void TURLDownloader::StartInitDownload() { StartDownload(pkInit); }

void TURLDownloader::StartUpdateDownload() { StartDownload(pkUpdate); }

void TURLDownloader::StartDownload(TPackKind kind) {
  try {
    const std::string& url = kind == pkInit ? InitUrl : UpdateUrl;
    // A null target: the browser delivers the address as a stream to the instance.
    if (Plugin == nullptr || NPN_GetURL(Plugin->Instance(), url.c_str(), nullptr) != NPERR_NO_ERROR) {
      State_ = dsError;
      return;
    }
    State_ = kind == pkInit ? dsInitDownloading : dsUpdateDownloading;
  } catch (const std::exception&) {
    State_ = dsError;
  }
}

void TURLDownloader::AbortDownload() {
  if (Init_.Stream != nullptr) Init_.Stream->Cancel();
  if (Update_.Stream != nullptr) Update_.Stream->Cancel();
}

NPError TURLDownloader::AcceptStream(const char*, NPStream* stream, uint16_t* stream_type,
                                     TFormLoaderPlugin& instance) {
  if (&instance != Plugin || stream == nullptr) return NPERR_GENERIC_ERROR;
  const std::string url = stream->url != nullptr ? stream->url : "";
  // One address for both packs: the stream is the update pack once that is
  // awaited, else the init pack (taking it for the init pack again would
  // fetch the update for ever).
  const bool update_awaited = State_ == dsUpdateDownloading && url == UpdateUrl;
  TPackTransfer* transfer = nullptr;
  if (url == InitUrl && !update_awaited) {
    transfer = &Init_;
  } else if (url == UpdateUrl) {
    transfer = &Update_;
  } else {
    return NPERR_GENERIC_ERROR;
  }
  TURLStream& owned = instance.AdoptStream(std::make_unique<TURLStream>());
  owned.OnProgress = [this](TURLStream& sender, int32_t bytes, int32_t total) {
    OnPackStreamProgress(sender, bytes, total);
  };
  owned.OnDone = [this](TURLStream& sender, NPReason reason) { OnPackStreamDone(sender, reason); };
  if (stream_type != nullptr) *stream_type = NP_NORMAL;
  owned.Attach(stream, instance.Instance(), smMemory);
  transfer->Stream = &owned;
  return NPERR_NO_ERROR;
}

void TURLDownloader::OnPackStreamProgress(TURLStream& stream, int32_t bytes, int32_t total) {
  if (&stream == Init_.Stream) {
    InitReceived_ = bytes;
    InitTotal_ = total;
  } else if (&stream == Update_.Stream) {
    UpdateReceived_ = bytes;
    UpdateTotal_ = total;
  }
}

void TURLDownloader::OnPackStreamDone(TURLStream& stream, NPReason reason) {
  const TPackKind kind = &stream == Init_.Stream ? pkInit : pkUpdate;
  TPackTransfer& transfer = Transfer(kind);
  if (&stream != transfer.Stream) return;
  transfer.Stream = nullptr;
  if (reason != NPRES_DONE) {
    State_ = dsError;
    return;
  }
  try {
    // Taken, not copied: a pack of hundreds of megabytes is held once.
    transfer.PackData = stream.TakeData();
  } catch (const std::exception&) {
    transfer.PackData.reset();
  }
  if (!transfer.PackData || transfer.PackData->empty()) {
    State_ = dsError;
    transfer.PackData.reset();
    return;
  }
  try {
    transfer.Extraction = StartExtraction_({
        .DestDir = DataDir(),
        .Pack = *transfer.PackData,
        .GameGuid = GameGuid,
        .BeforeWriting = [this, unclaimed = WithoutVersionOf(kind == pkInit)] { WriteVersionRecord(unclaimed); },
    });
    State_ = kind == pkInit ? dsInitExtracting : dsUpdateExtracting;
  } catch (const std::exception&) {
    State_ = dsError;
    transfer.PackData.reset();
  }
}

void TURLDownloader::Poll() {
  if (State_ == dsInitExtracting) PollExtraction(pkInit);
  if (State_ == dsUpdateExtracting) PollExtraction(pkUpdate);
}

void TURLDownloader::PollExtraction(TPackKind kind) {
  TPackTransfer& transfer = Transfer(kind);
  if (!transfer.Extraction->Finished()) return;
  const bool succeeded = transfer.Extraction->Succeeded();
  transfer.Extraction.reset();
  transfer.PackData.reset();
  if (!succeeded) {
    State_ = dsError;
    return;
  }
  PackInstalled(kind == pkInit);
}

}  // namespace qel
