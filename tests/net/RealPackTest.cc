// A real signed pack, made by qelpack with the development key, fetched from
// nginx and unpacked into the data folder by the system's extraction.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <filesystem>
#include <map>

#include "ChildProcess.h"
#include "FaultServer.h"
#include "NetTestSupport.h"
#include "PackSystem.h"
#include "net/HttpDownloader.h"
#include "platform/Loop.h"

namespace qel::test {
namespace {

namespace fs = std::filesystem;

constexpr char kGuid[] = "{0D3A5C1E-real-pack}";

// Every file under `root`, by relative path, with its bytes.
std::map<std::string, std::string> TreeOf(const std::string& root) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (entry.is_regular_file()) {
      files[fs::relative(entry.path(), root).string()] = ReadFileBytes(entry.path().string());
    }
  }
  return files;
}

// The record as it lies on the disk; all zero while there is none.
TDataVersionRecord RecordOnDisk(const std::string& folder) {
  TDataVersionRecord record{};
  std::ifstream file(folder + kVersionFileName, std::ios::binary);
  file.read(reinterpret_cast<char*>(&record), sizeof record);
  return record;
}

std::string LastGetRange(const TFaultServer& server) {
  std::string range = "none";
  for (const TRecordedRequest& request : server.Requests()) {
    if (request.Method != "GET") continue;
    range = "none";
    for (const std::string& line : request.HeaderLines) {
      if (line.starts_with("RANGE: ")) range = line.substr(7);
    }
  }
  return range;
}

class RealPack : public NginxTest {
 protected:
  void SetUp() override {
    NginxTest::SetUp();
    if (!Nginx) return;
    fs::create_directories(Tree.Path() + "maps/north");
    fs::create_directories(Tree.Path() + "empty-folder");
    WriteFileBytes(Tree.Path() + "config.ini", "[GameLaunch]\nexe=game\n");
    WriteFileBytes(Tree.Path() + "maps/north/terrain.bin", PatternBytes(1500000, 4));
    WriteFileBytes(Tree.Path() + "maps/north/empty.dat", "");
    WriteFileBytes(Tree.Path() + "maps/list.txt", std::string(20000, 'm'));
  }

  // Packs the tree for `guid` into the served folder; answers the pack's URL.
  std::string MakePack(const std::string& guid) {
    const std::string pack = Nginx->Root() + "init.pack";
    const std::string arguments = "create --key " + QuotedArgument(QEL_DEV_PRIVATE_KEY) + " --guid " +
                                  QuotedArgument(guid) + " " + QuotedArgument(Tree.Path()) + " " +
                                  QuotedArgument(pack);
    const std::string log = pack + ".log";
    EXPECT_EQ(RunProgram(QEL_QELPACK_PATH, arguments, log), 0) << arguments << "\n" << ReadFileBytes(log);
    return Nginx->Url("init.pack");
  }

  void Download(THttpDownloader& downloader, const std::string& url) {
    downloader.InitUrl = url;
    downloader.InitTargetVersion = 3;
    downloader.GameGuid = kGuid;
    downloader.SetDataDir(Data.Path());
    downloader.StartNext();
  }

  bool DriveToEnd(THttpDownloader& downloader) {
    return RunLoopUntil(
        [&] {
          downloader.Poll();
          return downloader.State() == dsDone || downloader.State() == dsError;
        },
        kPatienceMs);
  }

  // The data folder holds the tree exactly, besides the record.
  void ExpectTheTreeInstalled() {
    std::map<std::string, std::string> unpacked = TreeOf(Data.Path());
    EXPECT_EQ(unpacked.erase(kVersionFileName), 1u);
    EXPECT_TRUE(unpacked == TreeOf(Tree.Path()));
  }

  TTempFolder Tree;
  TTempFolder Data;
};

TEST_F(RealPack, IsFetchedAndUnpackedIntoTheDataFolder) {
  THttpDownloader downloader;
  Download(downloader, MakePack(kGuid));
  ASSERT_TRUE(RunLoopUntil(
      [&] {
        downloader.Poll();
        return downloader.State() == dsDone || downloader.State() == dsError;
      },
      kPatienceMs));
  ASSERT_EQ(downloader.State(), dsDone);
  std::map<std::string, std::string> unpacked = TreeOf(Data.Path());
  EXPECT_EQ(unpacked.erase(kVersionFileName), 1u);
  EXPECT_TRUE(unpacked == TreeOf(Tree.Path()));
  EXPECT_TRUE(fs::is_directory(Data.Path() + "empty-folder"));
  EXPECT_EQ(downloader.Versions().InitVersion, 3);
}

TEST_F(RealPack, ForAnotherGameIsRefusedAndChangesNoVersion) {
  THttpDownloader downloader;
  Download(downloader, MakePack("{another-game}"));
  ASSERT_TRUE(RunLoopUntil(
      [&] {
        downloader.Poll();
        return downloader.State() == dsDone || downloader.State() == dsError;
      },
      kPatienceMs));
  EXPECT_EQ(downloader.State(), dsError);
  EXPECT_FALSE(fs::exists(Data.Path() + "config.ini"));
  const std::string record = ReadFileBytes(Data.Path() + kVersionFileName);
  // No version claimed, and the refused pack is not resumed next time.
  EXPECT_EQ(record, std::string(sizeof(TDataVersionRecord), '\0'));
}

}  // namespace
}  // namespace qel::test

namespace qel::test {
namespace {

TEST_F(RealPack, AProcessKilledMidDownloadResumesFromTheFlushedBytesAndInstallsTheExactTree) {
  MakePack(kGuid);
  const std::string pack = ReadFileBytes(Nginx->Root() + "init.pack");
  TFaultServer server;
  server.SetScript({.Body = pack, .ChunkBytes = 16 * 1024, .ChunkDelayMs = 20});
  TDataVersionRecord killed{};
  {
    TChildProcess child(QEL_DOWNLOAD_CHILD_PATH, {server.Url("init.pack"), Data.Path(), "3"});
    ASSERT_EQ(child.ReadLine(kPatienceMs), "started");
    ASSERT_TRUE(RunLoopUntil(
        [&] {
          killed = RecordOnDisk(Data.Path());
          return killed.InitCacheSize > 0;
        },
        kPatienceMs));
    child.Kill();
  }
  killed = RecordOnDisk(Data.Path());
  ASSERT_EQ(killed.InitCacheVersion, 3);
  ASSERT_LT(killed.InitCacheSize, static_cast<int32_t>(pack.size()));
  // What the record claims is on the disk.
  const std::string cache = ReadFileBytes(Data.Path() + kInitCacheFileName);
  ASSERT_GE(cache.size(), static_cast<size_t>(killed.InitCacheSize));
  EXPECT_TRUE(cache.substr(0, killed.InitCacheSize) == pack.substr(0, killed.InitCacheSize));

  server.SetScript({.Body = pack});
  THttpDownloader downloader;
  Download(downloader, server.Url("init.pack"));
  ASSERT_TRUE(DriveToEnd(downloader));
  ASSERT_EQ(downloader.State(), dsDone);
  EXPECT_EQ(LastGetRange(server), "bytes=" + std::to_string(killed.InitCacheSize) + "-");
  ExpectTheTreeInstalled();
  EXPECT_EQ(RecordOnDisk(Data.Path()).InitVersion, 3);
}

TEST_F(RealPack, AProcessKilledWhileUnpackingLeavesARecordThatMakesTheNextVisitInstallAgain) {
  // Version 2 is installed, one of its files torn by an earlier crash.
  TDataVersionRecord installed{};
  installed.InitVersion = 2;
  WriteFileBytes(Data.Path() + kVersionFileName,
                 std::string(reinterpret_cast<const char*>(&installed), sizeof installed));
  WriteFileBytes(Data.Path() + "config.ini", "[GameLau");
  const std::string url = MakePack(kGuid);
  const auto pack_size = static_cast<int32_t>(fs::file_size(Nginx->Root() + "init.pack"));
  {
    TChildProcess child(QEL_DOWNLOAD_CHILD_PATH, {url, Data.Path(), "3", kGuid, "--hold-while-writing"});
    ASSERT_EQ(child.ReadLine(kPatienceMs), "started");
    ASSERT_EQ(child.ReadLine(kPatienceMs), "writing");
    child.Kill();
  }
  const TDataVersionRecord killed = RecordOnDisk(Data.Path());
  EXPECT_EQ(killed.InitVersion, 0);
  EXPECT_EQ(killed.InitCacheVersion, 3);
  EXPECT_EQ(killed.InitCacheSize, pack_size);

  THttpDownloader downloader;
  Download(downloader, url);
  ASSERT_TRUE(DriveToEnd(downloader));
  ASSERT_EQ(downloader.State(), dsDone);
  ExpectTheTreeInstalled();
  EXPECT_EQ(RecordOnDisk(Data.Path()).InitVersion, 3);
}

TEST_F(RealPack, APackChangedOnTheServerSinceTheCacheWasFilledIsFetchedFromZero) {
  // Bytes of an older pack, kept with the validator they came with.
  TDataVersionRecord record{};
  record.InitCacheVersion = 3;
  record.InitCacheSize = 5000;
  WriteFileBytes(Data.Path() + kVersionFileName,
                 std::string(reinterpret_cast<const char*>(&record), sizeof record));
  WriteFileBytes(Data.Path() + kInitCacheFileName, std::string(5000, 'o'));
  WriteFileBytes(Data.Path() + kInitCacheTagFileName, "\"an-older-pack\"");
  THttpDownloader downloader;
  Download(downloader, MakePack(kGuid));
  ASSERT_TRUE(DriveToEnd(downloader));
  ASSERT_EQ(downloader.State(), dsDone);
  ExpectTheTreeInstalled();
}

}  // namespace
}  // namespace qel::test
