// The data downloader: brings a game's data up to the versions the page asks
// for, the init pack first, then the update pack. This base keeps the
// installed versions and the resume bookkeeping in "dataver.dat" in the data
// folder and reports progress; descendants fetch and unpack the packs.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "net/DataVersionRecord.h"
#include "platform/FileSystem.h"

namespace qel {

enum TDownloadState : uint8_t {
  dsNone = 0,               // nothing started
  dsInitDownloading = 1,    // fetching the init pack
  dsInitExtracting = 2,     // unpacking the init pack
  dsUpdateDownloading = 3,  // fetching the update pack
  dsUpdateExtracting = 4,   // unpacking the update pack
  dsDone = 5,               // both versions are installed
  dsError = 6,              // failed; final
};

inline constexpr char kVersionFileName[] = "dataver.dat";

class TFileDownloader {
 public:
  virtual ~TFileDownloader() = default;
  TFileDownloader(const TFileDownloader&) = delete;
  TFileDownloader& operator=(const TFileDownloader&) = delete;

  // Begin fetching a pack: the state becomes the pack's downloading state,
  // or dsError when the start fails.
  virtual void StartInitDownload() = 0;
  virtual void StartUpdateDownload() = 0;
  // Stops a running transfer; the state stays, and the caller then only
  // destroys the downloader.
  virtual void AbortDownload() = 0;
  // The periodic step: progress, finished transfers and extractions, the
  // start of the next pack.
  virtual void Poll() = 0;

  // Stores a folder that differs from the current one (exactly) and loads
  // its versions.
  void SetDataDir(const std::string& Dir);
  // "dataver.dat" into the record, unless IgnoreVersionFile or the file is
  // missing (then all zero). Raises EQelError when it cannot be read.
  void LoadVersions();
  // The record into "dataver.dat", replacing it in one step. Raises EQelError.
  void SaveVersions();
  bool NeedsDownload() const;
  // Starts the first pack that is behind, if any.
  void StartNext();
  // Percent of the whole job: 0..89 for the init transfer, 90 while it is
  // unpacked, 90..99 for the update, 100 when done; -1 after a failure.
  int32_t GetProgress() const;

  TDownloadState State() const { return State_; }
  const std::string& DataDir() const { return DataDir_; }
  const TDataVersionRecord& Versions() const { return Versions_; }
  int32_t InitReceived() const { return InitReceived_; }
  int32_t InitTotal() const { return InitTotal_; }
  int32_t UpdateReceived() const { return UpdateReceived_; }
  int32_t UpdateTotal() const { return UpdateTotal_; }

  bool IgnoreVersionFile = false;
  std::string GameGuid;  // each pack must carry it
  std::string InitUrl;
  int32_t InitTargetVersion = 0;
  std::string UpdateUrl;
  int32_t UpdateTargetVersion = 0;

  // Test seam: the file system "dataver.dat" is written through.
  void SetFileSystemForTesting(TFileSystem& files) { Files_ = &files; }

 protected:
  TFileDownloader() = default;
  // After a pack unpacked well: its version is recorded, then the update
  // pack is fetched when it is behind, else the data are done.
  void PackInstalled(bool init_pack);
  // The part of PackInstalled after the record: for a downloader that
  // recorded the installed version itself.
  void ContinueAfterInstall(bool init_pack);
  // The record as it must stand while a pack is written over the installed
  // data: no longer claiming the version the pack replaces, so that an
  // install cut short is repeated instead of trusted.
  TDataVersionRecord WithoutVersionOf(bool init_pack) const;
  // `Record` into "dataver.dat", as SaveVersions does; callable from another
  // thread while this one writes nothing there.
  void WriteVersionRecord(const TDataVersionRecord& Record) const;
  TFileSystem& Files() const { return *Files_; }

  TDataVersionRecord Versions_{};
  int32_t InitReceived_ = 0;
  int32_t InitTotal_ = 0;
  int32_t UpdateReceived_ = 0;
  int32_t UpdateTotal_ = 0;
  TDownloadState State_ = dsNone;

 private:
  std::string DataDir_;
  TFileSystem* Files_ = &DefaultFileSystem();
};

// A downloader's class as the launch workflow is given it: builds a fresh
// downloader with every field zero or empty.
using TFileDownloaderClass = std::unique_ptr<TFileDownloader> (*)();

}  // namespace qel
