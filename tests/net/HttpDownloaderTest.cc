// THttpDownloader: the packs in order, the cache files and resume, every
// branch of AbortDownload, and destruction during an extraction.
#include "net/HttpDownloader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "FakeExtraction.h"
#include "FaultServer.h"
#include "NetTestSupport.h"
#include "platform/Error.h"
#include "platform/Loop.h"

namespace qel::test {
namespace {

constexpr char kGuid[] = "{game-guid}";

TDataVersionRecord RecordIn(const std::string& folder) {
  TDataVersionRecord record{};
  const std::string bytes = ReadFileBytes(folder + kVersionFileName);
  std::memcpy(&record, bytes.data(), std::min(bytes.size(), sizeof record));
  return record;
}

void WriteRecord(const std::string& folder, const TDataVersionRecord& record) {
  WriteFileBytes(folder + kVersionFileName, std::string(reinterpret_cast<const char*>(&record), sizeof record));
}

TDataVersionRecord WithInitCache(int32_t version, int32_t size) {
  TDataVersionRecord record{};
  record.InitCacheVersion = version;
  record.InitCacheSize = size;
  return record;
}

bool Drive(TFileDownloader& downloader, const std::function<bool()>& until) {
  return RunLoopUntil(
      [&] {
        downloader.Poll();
        return until();
      },
      kPatienceMs);
}

bool DriveTo(TFileDownloader& downloader, TDownloadState state) {
  return Drive(downloader, [&] { return downloader.State() == state; });
}

std::optional<std::string> RangeOf(const TRecordedRequest& request) {
  for (const std::string& line : request.HeaderLines) {
    if (line.starts_with("RANGE: ")) return line.substr(7);
  }
  return std::nullopt;
}

// The range of the last GET the server saw.
std::optional<std::string> LastRange(const TFaultServer& server) {
  const auto requests = server.Requests();
  for (auto request = requests.rbegin(); request != requests.rend(); ++request) {
    if (request->Method == "GET") return RangeOf(*request);
  }
  ADD_FAILURE() << "no GET arrived";
  return std::nullopt;
}

class HttpDownloaderTest : public ::testing::Test {
 protected:
  // A downloader for the init pack of version 5 at the fault server.
  std::unique_ptr<THttpDownloader> NewDownloader(int32_t init_target = 5) {
    auto downloader = std::make_unique<THttpDownloader>();
    downloader->InitUrl = Server.Url("init.pack");
    downloader->InitTargetVersion = init_target;
    downloader->GameGuid = kGuid;
    downloader->SetExtractionStarterForTesting(Extractions.Starter());
    downloader->SetDataDir(Data.Path());
    return downloader;
  }
  std::string CacheFile() const { return ReadFileBytes(Data.Path() + kInitCacheFileName); }

  const std::string Pack = PatternBytes(3000, 5);
  TTempFolder Data;
  TFaultServer Server;
  TScriptedExtractions Extractions;
};

TEST_F(HttpDownloaderTest, ABrokenTransferResumesFromItsCacheUntilThePackIsWhole) {
  // Aborted after 1000 bytes from 0.
  Server.SetScript({.Body = Pack, .PauseAfter = 1000});
  auto first = NewDownloader();
  first->StartNext();
  EXPECT_EQ(first->State(), dsInitDownloading);
  ASSERT_TRUE(Drive(*first, [&] { return first->InitReceived() == 1000; }));
  EXPECT_EQ(first->InitTotal(), 3000);
  EXPECT_EQ(first->GetProgress(), 29);
  first->AbortDownload();
  EXPECT_EQ(first->State(), dsInitDownloading);
  first.reset();
  EXPECT_EQ(LastRange(Server), std::nullopt);
  EXPECT_TRUE(CacheFile() == Pack.substr(0, 1000));
  EXPECT_EQ(RecordIn(Data.Path()).InitCacheVersion, 5);
  EXPECT_EQ(RecordIn(Data.Path()).InitCacheSize, 1000);

  // Resumed at 1000, aborted after 500 more.
  Server.SetScript({.Body = Pack, .PauseAfter = 500});
  auto second = NewDownloader();
  second->StartNext();
  ASSERT_TRUE(Drive(*second, [&] { return second->InitReceived() == 1500; }));
  second->AbortDownload();
  second.reset();
  EXPECT_EQ(LastRange(Server), "bytes=1000-");
  EXPECT_TRUE(CacheFile() == Pack.substr(0, 1500));
  EXPECT_EQ(RecordIn(Data.Path()).InitCacheVersion, 5);
  EXPECT_EQ(RecordIn(Data.Path()).InitCacheSize, 1500);

  // Resumed at 1500 to the end: the cache and the new bytes make the pack.
  Server.SetScript({.Body = Pack});
  auto third = NewDownloader();
  third->StartNext();
  ASSERT_TRUE(DriveTo(*third, dsDone));
  EXPECT_EQ(LastRange(Server), "bytes=1500-");
  ASSERT_EQ(Extractions.Runs.size(), 1u);
  EXPECT_TRUE(Extractions.Runs[0].Pack == Pack);
  EXPECT_EQ(Extractions.Runs[0].DestDir, Data.Path());
  EXPECT_EQ(Extractions.Runs[0].GameGuid, kGuid);
  const TDataVersionRecord record = RecordIn(Data.Path());
  EXPECT_EQ(record.InitVersion, 5);
  EXPECT_EQ(record.InitCacheVersion, 0);
  EXPECT_EQ(record.InitCacheSize, 0);
  EXPECT_EQ(third->GetProgress(), 100);
}

TEST_F(HttpDownloaderTest, ACacheOfAnotherVersionIsNotUsedAndIsGivenUpBeforeItIsOverwritten) {
  WriteRecord(Data.Path(), WithInitCache(5, 1000));
  WriteFileBytes(Data.Path() + kInitCacheFileName, Pack.substr(0, 1000));
  Server.SetScript({.Body = Pack});
  auto downloader = NewDownloader(6);
  downloader->StartNext();
  ASSERT_TRUE(DriveTo(*downloader, dsDone));
  EXPECT_EQ(LastRange(Server), std::nullopt);
  EXPECT_TRUE(Extractions.Runs.at(0).Pack == Pack);
  const TDataVersionRecord record = RecordIn(Data.Path());
  EXPECT_EQ(record.InitVersion, 6);
  EXPECT_EQ(record.InitCacheVersion, 0);
  EXPECT_EQ(record.InitCacheSize, 0);
}

TEST_F(HttpDownloaderTest, ACacheFileOfAnotherSizeIsDropped) {
  WriteRecord(Data.Path(), WithInitCache(5, 1000));
  WriteFileBytes(Data.Path() + kInitCacheFileName, Pack.substr(0, 900));
  Server.SetScript({.Body = Pack});
  auto downloader = NewDownloader();
  downloader->StartNext();
  EXPECT_EQ(downloader->Versions().InitCacheVersion, 0);
  EXPECT_EQ(downloader->Versions().InitCacheSize, 0);
  ASSERT_TRUE(DriveTo(*downloader, dsDone));
  EXPECT_EQ(LastRange(Server), std::nullopt);
  EXPECT_TRUE(Extractions.Runs.at(0).Pack == Pack);
}

TEST_F(HttpDownloaderTest, AnIgnoredVersionFileReusesNoCache) {
  TDataVersionRecord record = WithInitCache(5, 1000);
  record.InitVersion = 5;
  WriteRecord(Data.Path(), record);
  WriteFileBytes(Data.Path() + kInitCacheFileName, Pack.substr(0, 1000));
  Server.SetScript({.Body = Pack});
  auto downloader = std::make_unique<THttpDownloader>();
  downloader->InitUrl = Server.Url("init.pack");
  downloader->InitTargetVersion = 5;
  downloader->IgnoreVersionFile = true;
  downloader->SetExtractionStarterForTesting(Extractions.Starter());
  downloader->SetDataDir(Data.Path());
  EXPECT_TRUE(downloader->NeedsDownload());
  downloader->StartNext();
  ASSERT_TRUE(DriveTo(*downloader, dsDone));
  EXPECT_EQ(LastRange(Server), std::nullopt);
}

TEST_F(HttpDownloaderTest, AServerThatIgnoresTheRangeGivesTheWholePackFromZero) {
  WriteRecord(Data.Path(), WithInitCache(5, 1000));
  WriteFileBytes(Data.Path() + kInitCacheFileName, std::string(1000, 'x'));
  Server.SetScript({.Body = Pack, .IgnoreRange = true});
  auto downloader = NewDownloader();
  downloader->StartNext();
  ASSERT_TRUE(DriveTo(*downloader, dsDone));
  EXPECT_EQ(LastRange(Server), "bytes=1000-");
  EXPECT_TRUE(Extractions.Runs.at(0).Pack == Pack);
  EXPECT_EQ(RecordIn(Data.Path()).InitVersion, 5);
}

TEST_F(HttpDownloaderTest, AResumedPackThatFailsItsExtractionIsNotResumedAgain) {
  // The cache holds bytes of another pack published under the same version.
  WriteRecord(Data.Path(), WithInitCache(5, 1000));
  WriteFileBytes(Data.Path() + kInitCacheFileName, std::string(1000, 'x'));
  Server.SetScript({.Body = Pack});
  Extractions.Succeed = false;
  auto downloader = NewDownloader();
  downloader->StartNext();
  ASSERT_TRUE(DriveTo(*downloader, dsError));
  EXPECT_EQ(LastRange(Server), "bytes=1000-");
  EXPECT_TRUE(Extractions.Runs.at(0).Pack == std::string(1000, 'x') + Pack.substr(1000));
  const TDataVersionRecord record = RecordIn(Data.Path());
  EXPECT_EQ(record.InitVersion, 0);
  EXPECT_EQ(record.InitCacheVersion, 0);
  EXPECT_EQ(record.InitCacheSize, 0);
}

TEST_F(HttpDownloaderTest, AFailedExtractionOfAFreshPackChangesNoVersion) {
  Server.SetScript({.Body = Pack});
  Extractions.Succeed = false;
  auto downloader = NewDownloader();
  downloader->StartNext();
  ASSERT_TRUE(DriveTo(*downloader, dsError));
  EXPECT_EQ(downloader->Versions().InitVersion, 0);
  EXPECT_TRUE(Extractions.Runs.at(0).Destroyed);
}

TEST_F(HttpDownloaderTest, AnAbortBeforeAnyByteGivesUpAValidCache) {
  WriteRecord(Data.Path(), WithInitCache(5, 1000));
  WriteFileBytes(Data.Path() + kInitCacheFileName, Pack.substr(0, 1000));
  Server.SetScript({.Body = Pack, .PauseAfter = 0});
  auto downloader = NewDownloader();
  downloader->StartNext();
  ASSERT_TRUE(Drive(*downloader, [&] { return Server.Paused(); }));
  downloader->AbortDownload();
  EXPECT_EQ(RecordIn(Data.Path()).InitCacheVersion, 0);
  EXPECT_EQ(RecordIn(Data.Path()).InitCacheSize, 0);
}

TEST_F(HttpDownloaderTest, AnAbortDuringTheHeadGivesUpTheCacheToo) {
  WriteRecord(Data.Path(), WithInitCache(5, 1000));
  WriteFileBytes(Data.Path() + kInitCacheFileName, Pack.substr(0, 1000));
  Server.SetScript({.Body = Pack});
  auto downloader = NewDownloader();
  downloader->StartNext();
  downloader->AbortDownload();
  EXPECT_EQ(RecordIn(Data.Path()).InitCacheSize, 0);
}

TEST_F(HttpDownloaderTest, APackWithoutAWritableCacheFileIsNotFetched) {
  std::filesystem::create_directory(Data.Path() + kInitCacheFileName);
  Server.SetScript({.Body = Pack});
  auto downloader = NewDownloader();
  downloader->StartNext();
  EXPECT_EQ(downloader->State(), dsError);
  EXPECT_TRUE(Server.Requests().empty());
  EXPECT_FALSE(std::filesystem::exists(Data.Path() + kVersionFileName));
}

TEST_F(HttpDownloaderTest, ACacheThatCannotBeOpenedIsRaisedToTheCaller) {
  WriteRecord(Data.Path(), WithInitCache(5, 1000));
  std::filesystem::create_directory(Data.Path() + kInitCacheFileName);
  auto downloader = NewDownloader();
  EXPECT_THROW(downloader->StartNext(), EQelError);
  EXPECT_EQ(downloader->State(), dsNone);
}

TEST_F(HttpDownloaderTest, AStartThatFailsIsAnError) {
  auto downloader = NewDownloader();
  downloader->InitUrl = "ftp://127.0.0.1/init.pack";
  downloader->StartNext();
  EXPECT_EQ(downloader->State(), dsError);
  downloader->AbortDownload();  // nothing runs: nothing to keep
  EXPECT_FALSE(std::filesystem::exists(Data.Path() + kVersionFileName));
}

TEST_F(HttpDownloaderTest, DestructionStopsTheRunningExtractionWhoseVersionIsNoLongerClaimed) {
  TDataVersionRecord installed{};
  installed.InitVersion = 4;
  installed.UpdateVersion = 2;
  WriteRecord(Data.Path(), installed);
  Server.SetScript({.Body = Pack});
  Extractions.FinishAtOnce = false;
  auto downloader = NewDownloader();
  downloader->StartNext();
  ASSERT_TRUE(Drive(*downloader, [&] { return !Extractions.Runs.empty(); }));
  EXPECT_EQ(downloader->State(), dsInitExtracting);
  EXPECT_EQ(downloader->GetProgress(), 90);
  // The whole pack is in the cache, recorded, before the extraction starts.
  EXPECT_TRUE(CacheFile() == Pack);
  EXPECT_TRUE(Extractions.Runs[0].Source.size() == Pack.size());
  const TDataVersionRecord during = RecordIn(Data.Path());
  EXPECT_EQ(during.InitVersion, 0);
  EXPECT_EQ(during.UpdateVersion, 2);
  EXPECT_EQ(during.InitCacheVersion, 5);
  EXPECT_EQ(during.InitCacheSize, 3000);
  downloader.reset();
  ASSERT_EQ(Extractions.Runs.size(), 1u);
  EXPECT_FALSE(Extractions.Runs[0].Waited);
  EXPECT_TRUE(Extractions.Runs[0].Destroyed);

  // The next visit finds the whole pack in its cache: no GET, unpacked again.
  Extractions.FinishAtOnce = true;
  auto next = NewDownloader();
  next->StartNext();
  ASSERT_TRUE(DriveTo(*next, dsDone));
  EXPECT_EQ(LastRange(Server), std::nullopt);
  EXPECT_EQ(Server.Requests().back().Method, "HEAD");
  ASSERT_EQ(Extractions.Runs.size(), 2u);
  EXPECT_TRUE(Extractions.Runs[1].Pack == Pack);
  EXPECT_EQ(RecordIn(Data.Path()).InitVersion, 5);
  EXPECT_FALSE(std::filesystem::exists(Data.Path() + kInitCacheFileName));
}

TEST_F(HttpDownloaderTest, AnAbortAfterTheLastByteKeepsTheWholePackAndTheNextVisitSendsNoGet) {
  Server.SetScript({.Body = Pack});
  auto first = NewDownloader();
  first->StartNext();
  ASSERT_TRUE(Drive(*first, [&] { return Server.Requests().size() == 2; }));
  // The body arrives and ends, but no Poll applies the end before the abort.
  ASSERT_TRUE(RunLoopUntil([&] { return Server.BodyBytesSent() == Pack.size(); }, kPatienceMs));
  RunLoopFor(kQuietMs);
  first->AbortDownload();
  first.reset();
  EXPECT_EQ(RecordIn(Data.Path()).InitCacheVersion, 5);
  EXPECT_EQ(RecordIn(Data.Path()).InitCacheSize, 3000);

  auto next = NewDownloader();
  next->StartNext();
  ASSERT_TRUE(DriveTo(*next, dsDone));
  EXPECT_EQ(Server.Requests().size(), 3u);
  EXPECT_EQ(Server.Requests().back().Method, "HEAD");
  EXPECT_TRUE(Extractions.Runs.at(0).Pack == Pack);
}

class HttpDownloaderAgainstNginx : public NginxTest {};

TEST_F(HttpDownloaderAgainstNginx, AnAnswerOtherThanSuccessFailsThePackBeforeAnyExtraction) {
  TTempFolder data;
  TScriptedExtractions extractions;
  THttpDownloader downloader;
  downloader.InitUrl = Nginx->Url("no-such.pack");
  downloader.InitTargetVersion = 2;
  downloader.SetExtractionStarterForTesting(extractions.Starter());
  downloader.SetDataDir(data.Path());
  downloader.StartNext();
  ASSERT_TRUE(DriveTo(downloader, dsError));
  EXPECT_TRUE(extractions.Runs.empty());
  EXPECT_EQ(downloader.Versions().InitCacheSize, 0);
}

TEST_F(HttpDownloaderAgainstNginx, TheInitPackIsInstalledBeforeTheUpdatePack) {
  const std::string init = PatternBytes(700000, 1);
  const std::string update = PatternBytes(300000, 2);
  Nginx->PutFile("init.pack", init);
  Nginx->PutFile("update.pack", update);
  TTempFolder data;
  TScriptedExtractions extractions;
  THttpDownloader downloader;
  downloader.InitUrl = Nginx->Url("init.pack");
  downloader.InitTargetVersion = 2;
  downloader.UpdateUrl = Nginx->Url("update.pack");
  downloader.UpdateTargetVersion = 7;
  downloader.GameGuid = kGuid;
  downloader.SetExtractionStarterForTesting(extractions.Starter());
  downloader.SetDataDir(data.Path());
  ASSERT_TRUE(downloader.NeedsDownload());
  downloader.StartNext();

  // Each extraction ends one step after it was seen running.
  extractions.FinishAtOnce = false;
  std::vector<int32_t> progress;
  std::vector<int> states;
  ASSERT_TRUE(Drive(downloader, [&] {
    progress.push_back(downloader.GetProgress());
    if (states.empty() || states.back() != downloader.State()) states.push_back(downloader.State());
    if (!extractions.Runs.empty() && !extractions.Runs.back().Finished) extractions.Runs.back().Finish(true);
    return downloader.State() == dsDone;
  }));
  EXPECT_EQ(states, (std::vector<int>{dsInitDownloading, dsInitExtracting, dsUpdateDownloading,
                                      dsUpdateExtracting, dsDone}));
  EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
  ASSERT_EQ(extractions.Runs.size(), 2u);
  EXPECT_TRUE(extractions.Runs[0].Pack == init);
  EXPECT_TRUE(extractions.Runs[1].Pack == update);
  EXPECT_EQ(downloader.InitTotal(), 700000);
  EXPECT_EQ(downloader.UpdateTotal(), 300000);
  EXPECT_EQ(RecordIn(data.Path()).InitVersion, 2);
  EXPECT_EQ(RecordIn(data.Path()).UpdateVersion, 7);
}

TEST_F(HttpDownloaderAgainstNginx, AnUpdateThatIsCurrentIsNotFetched) {
  Nginx->PutFile("init.pack", "init");
  TTempFolder data;
  TDataVersionRecord installed{};
  installed.InitVersion = 4;
  installed.UpdateVersion = 3;
  WriteRecord(data.Path(), installed);
  TScriptedExtractions extractions;
  THttpDownloader downloader;
  downloader.InitUrl = Nginx->Url("init.pack");
  downloader.InitTargetVersion = 5;
  downloader.UpdateUrl = Nginx->Url("no-such-update.pack");
  downloader.UpdateTargetVersion = 3;
  downloader.SetExtractionStarterForTesting(extractions.Starter());
  downloader.SetDataDir(data.Path());
  downloader.StartNext();
  ASSERT_TRUE(DriveTo(downloader, dsDone));
  EXPECT_EQ(extractions.Runs.size(), 1u);
  EXPECT_EQ(RecordIn(data.Path()).InitVersion, 5);
  EXPECT_EQ(RecordIn(data.Path()).UpdateVersion, 3);
}

TEST_F(HttpDownloaderAgainstNginx, OnlyTheUpdateBehindStartsAt90) {
  Nginx->PutFile("update.pack", PatternBytes(200000));
  TTempFolder data;
  TDataVersionRecord installed{};
  installed.InitVersion = 5;
  installed.UpdateVersion = 2;
  WriteRecord(data.Path(), installed);
  TScriptedExtractions extractions;
  THttpDownloader downloader;
  downloader.InitTargetVersion = 5;
  downloader.UpdateUrl = Nginx->Url("update.pack");
  downloader.UpdateTargetVersion = 3;
  downloader.SetExtractionStarterForTesting(extractions.Starter());
  downloader.SetDataDir(data.Path());
  downloader.StartNext();
  EXPECT_EQ(downloader.State(), dsUpdateDownloading);
  EXPECT_EQ(downloader.GetProgress(), 90);
  ASSERT_TRUE(DriveTo(downloader, dsDone));
  EXPECT_EQ(RecordIn(data.Path()).UpdateVersion, 3);
  EXPECT_EQ(RecordIn(data.Path()).InitVersion, 5);
}

}  // namespace
}  // namespace qel::test
