// What every downloader shares: "dataver.dat", which packs are behind, and
// progress as a percentage.
#include "net/FileDownloader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "NetTestSupport.h"
#include "platform/Error.h"

namespace qel::test {
namespace {

// A downloader without transfers: the shared part alone, with its state and
// figures set by the test.
class TBareDownloader : public TFileDownloader {
 public:
  void StartInitDownload() override { State_ = dsInitDownloading; }
  void StartUpdateDownload() override { State_ = dsUpdateDownloading; }
  void AbortDownload() override {}
  void Poll() override {}

  void Show(TDownloadState state, int32_t init_received, int32_t init_total, int32_t update_received,
            int32_t update_total) {
    State_ = state;
    InitReceived_ = init_received;
    InitTotal_ = init_total;
    UpdateReceived_ = update_received;
    UpdateTotal_ = update_total;
  }
  TDataVersionRecord& Record() { return Versions_; }
};

std::string RecordBytes(const TDataVersionRecord& record) {
  return std::string(reinterpret_cast<const char*>(&record), sizeof record);
}

TDataVersionRecord SampleRecord() {
  TDataVersionRecord record{};
  record.InitVersion = 5;
  record.UpdateVersion = 3;
  record.InitCacheVersion = 6;
  record.InitCacheSize = 1000;
  record.UpdateCacheVersion = 4;
  record.UpdateCacheSize = 77;
  for (size_t i = 0; i < sizeof record.Reserved; ++i) record.Reserved[i] = static_cast<uint8_t>(0xA0 + i);
  return record;
}

TEST(VersionFile, IsReadAndWrittenBackByteForByte) {
  TTempFolder folder;
  const std::string path = folder.Path() + "dataver.dat";
  WriteFileBytes(path, RecordBytes(SampleRecord()));
  TBareDownloader downloader;
  downloader.SetDataDir(folder.Path());
  EXPECT_EQ(RecordBytes(downloader.Versions()), RecordBytes(SampleRecord()));
  EXPECT_EQ(downloader.Versions().InitCacheSize, 1000);

  downloader.Record().InitVersion = 9;
  downloader.SaveVersions();
  TDataVersionRecord expected = SampleRecord();
  expected.InitVersion = 9;
  EXPECT_EQ(ReadFileBytes(path), RecordBytes(expected));
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder.Path())) {
    names.push_back(entry.path().filename().string());
  }
  EXPECT_EQ(names, std::vector<std::string>{"dataver.dat"});
}

TEST(VersionFile, AShortFileLeavesTheRestOfTheRecordAndTheSameFolderIsNotReadAgain) {
  TTempFolder full, shorter;
  WriteFileBytes(full.Path() + "dataver.dat", RecordBytes(SampleRecord()));
  const int32_t versions[2] = {11, 12};
  WriteFileBytes(shorter.Path() + "dataver.dat", std::string(reinterpret_cast<const char*>(versions), 8));
  TBareDownloader downloader;
  downloader.SetDataDir(full.Path());
  downloader.SetDataDir(shorter.Path());
  EXPECT_EQ(downloader.Versions().InitVersion, 11);
  EXPECT_EQ(downloader.Versions().UpdateVersion, 12);
  EXPECT_EQ(downloader.Versions().InitCacheSize, 1000);
  EXPECT_EQ(downloader.Versions().Reserved[35], 0xA0 + 35);

  WriteFileBytes(shorter.Path() + "dataver.dat", RecordBytes(TDataVersionRecord{}));
  downloader.SetDataDir(shorter.Path());
  EXPECT_EQ(downloader.Versions().InitVersion, 11);
  downloader.LoadVersions();
  EXPECT_EQ(downloader.Versions().InitVersion, 0);
}

TEST(VersionFile, AMissingOrIgnoredFileReadsAsZero) {
  TTempFolder folder;
  TBareDownloader missing;
  missing.Record() = SampleRecord();
  missing.SetDataDir(folder.Path());
  EXPECT_EQ(RecordBytes(missing.Versions()), RecordBytes(TDataVersionRecord{}));

  WriteFileBytes(folder.Path() + "dataver.dat", RecordBytes(SampleRecord()));
  TBareDownloader ignoring;
  ignoring.IgnoreVersionFile = true;
  ignoring.SetDataDir(folder.Path());
  EXPECT_EQ(RecordBytes(ignoring.Versions()), RecordBytes(TDataVersionRecord{}));
}

// The operating system's files, except that the final rename fails, as when
// the process dies just before it.
class TRenameFails : public TFileSystem {
 public:
  bool FileExists(const std::string& path) override { return Real.FileExists(path); }
  bool DirectoryExists(const std::string& path) override { return Real.DirectoryExists(path); }
  bool MakeDirectory(const std::string& path) override { return Real.MakeDirectory(path); }
  std::string ReadFile(const std::string& path, uint64_t max_bytes) override {
    return Real.ReadFile(path, max_bytes);
  }
  void WriteFile(const std::string& path, std::string_view bytes) override { Real.WriteFile(path, bytes); }
  void RenameFile(const std::string&, const std::string&) override { throw EQelError("the rename did not happen"); }
  bool RemoveFile(const std::string& path) override { return Real.RemoveFile(path); }
  TFileSystem& Real = DefaultFileSystem();
};

TEST(VersionFile, ASaveThatDoesNotCompleteLeavesTheOldRecordWhole) {
  TTempFolder folder;
  const std::string path = folder.Path() + "dataver.dat";
  WriteFileBytes(path, RecordBytes(SampleRecord()));
  TBareDownloader downloader;
  downloader.SetDataDir(folder.Path());
  TRenameFails files;
  downloader.SetFileSystemForTesting(files);
  downloader.Record().InitVersion = 9;
  EXPECT_THROW(downloader.SaveVersions(), EQelError);
  EXPECT_EQ(ReadFileBytes(path), RecordBytes(SampleRecord()));
}

TEST(Downloads, OnlyPacksBehindTheirTargetAreStartedInitFirst) {
  struct TCase {
    int32_t init, update, init_target, update_target;
    bool needed;
    TDownloadState started;
  };
  for (const TCase& c : {TCase{5, 3, 5, 3, false, dsNone}, TCase{4, 3, 5, 3, true, dsInitDownloading},
                         TCase{4, 2, 5, 3, true, dsInitDownloading}, TCase{5, 2, 5, 3, true, dsUpdateDownloading},
                         TCase{6, 4, 5, 3, false, dsNone}, TCase{-1, 0, 0, 0, true, dsInitDownloading}}) {
    SCOPED_TRACE(testing::Message() << c.init << "/" << c.update << " for " << c.init_target << "/"
                                    << c.update_target);
    TBareDownloader downloader;
    downloader.Record().InitVersion = c.init;
    downloader.Record().UpdateVersion = c.update;
    downloader.InitTargetVersion = c.init_target;
    downloader.UpdateTargetVersion = c.update_target;
    EXPECT_EQ(downloader.NeedsDownload(), c.needed);
    downloader.StartNext();
    EXPECT_EQ(downloader.State(), c.started);
  }
}

TEST(Downloads, ProgressIsAShareOfTheWholeJobTruncated) {
  struct TCase {
    TDownloadState state;
    int32_t init_received, init_total, update_received, update_total;
    int32_t percent;
  };
  for (const TCase& c : {TCase{dsNone, 0, 0, 0, 0, 0}, TCase{dsInitDownloading, 445, 1000, 0, 0, 39},
                         TCase{dsInitDownloading, 445, 0, 0, 0, 0}, TCase{dsInitDownloading, 1000, 1000, 0, 0, 89},
                         TCase{dsInitExtracting, 0, 0, 0, 0, 90}, TCase{dsUpdateDownloading, 0, 0, 500, 0, 90},
                         TCase{dsUpdateDownloading, 0, 0, 999, 1000, 98},
                         TCase{dsUpdateDownloading, 0, 0, 1000, 1000, 99}, TCase{dsUpdateExtracting, 0, 0, 0, 0, 99},
                         TCase{dsDone, 0, 0, 0, 0, 100}, TCase{dsError, 500, 1000, 0, 0, -1},
                         TCase{dsInitDownloading, 2000000000, 2100000000, 0, 0, 84}}) {
    SCOPED_TRACE(testing::Message() << int(c.state) << " " << c.init_received << "/" << c.init_total << " "
                                    << c.update_received << "/" << c.update_total);
    TBareDownloader downloader;
    downloader.Show(c.state, c.init_received, c.init_total, c.update_received, c.update_total);
    EXPECT_EQ(downloader.GetProgress(), c.percent);
  }
}

}  // namespace
}  // namespace qel::test
