#include "net/FileDownloader.h"

#include <cstring>
#include <filesystem>
#include <fstream>

#include "platform/AtomicFile.h"
#include "platform/Error.h"

namespace qel {

void TFileDownloader::SetDataDir(const std::string& Dir) {
  if (Dir == DataDir_) return;
  DataDir_ = Dir;
  LoadVersions();
}

void TFileDownloader::LoadVersions() {
  const std::string path = DataDir_ + kVersionFileName;
  std::error_code missing;
  if (IgnoreVersionFile || !std::filesystem::exists(path, missing)) {
    Versions_ = TDataVersionRecord{};
    return;
  }
  std::ifstream file(path, std::ios::binary);
  char bytes[sizeof(TDataVersionRecord)];
  file.read(bytes, sizeof bytes);
  if (file.bad() || (!file && !file.eof())) throw EQelError("cannot read " + path);
  // A shorter file leaves the rest of the record as it was.
  std::memcpy(&Versions_, bytes, static_cast<size_t>(file.gcount()));
}

void TFileDownloader::SaveVersions() { WriteVersionRecord(Versions_); }

void TFileDownloader::WriteVersionRecord(const TDataVersionRecord& Record) const {
  WriteFileAtomically(*Files_, DataDir_ + kVersionFileName,
                      std::string_view(reinterpret_cast<const char*>(&Record), sizeof Record));
}

bool TFileDownloader::NeedsDownload() const {
  return Versions_.InitVersion < InitTargetVersion || Versions_.UpdateVersion < UpdateTargetVersion;
}

void TFileDownloader::StartNext() {
  if (Versions_.InitVersion < InitTargetVersion) {
    StartInitDownload();
  } else if (Versions_.UpdateVersion < UpdateTargetVersion) {
    StartUpdateDownload();
  }
}

void TFileDownloader::PackInstalled(bool init_pack) {
  if (init_pack) {
    Versions_.InitVersion = InitTargetVersion;
  } else {
    Versions_.UpdateVersion = UpdateTargetVersion;
  }
  SaveVersions();
  ContinueAfterInstall(init_pack);
}

void TFileDownloader::ContinueAfterInstall(bool init_pack) {
  if (init_pack && Versions_.UpdateVersion < UpdateTargetVersion) {
    StartUpdateDownload();
    return;
  }
  State_ = dsDone;
}

TDataVersionRecord TFileDownloader::WithoutVersionOf(bool init_pack) const {
  TDataVersionRecord record = Versions_;
  (init_pack ? record.InitVersion : record.UpdateVersion) = 0;
  return record;
}

int32_t TFileDownloader::GetProgress() const {
  // received / total x share, truncated toward zero; the share when unknown is 0.
  const auto share = [](int32_t received, int32_t total, double percent) {
    return total <= 0 ? 0 : static_cast<int32_t>(static_cast<double>(received) / total * percent);
  };
  switch (State_) {
    case dsNone:
      return 0;
    case dsInitDownloading:
      return share(InitReceived_, InitTotal_, 89);
    case dsInitExtracting:
      return 90;
    case dsUpdateDownloading:
      return 90 + share(UpdateReceived_, UpdateTotal_, 9);
    case dsUpdateExtracting:
      return 99;
    case dsDone:
      return 100;
    case dsError:
      return -1;
  }
  return -1;
}

}  // namespace qel
