// A real signed pack, made by qelpack with the development key, fetched from
// nginx and unpacked into the data folder by the system's extraction.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>

#include "NetTestSupport.h"
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
    const std::string command = std::string("'") + QEL_QELPACK_PATH + "' create --key '" + QEL_DEV_PRIVATE_KEY +
                                "' --guid '" + guid + "' '" + Tree.Path() + "' '" + pack + "' > /dev/null";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return Nginx->Url("init.pack");
  }

  void Download(THttpDownloader& downloader, const std::string& url) {
    downloader.InitUrl = url;
    downloader.InitTargetVersion = 3;
    downloader.GameGuid = kGuid;
    downloader.SetDataDir(Data.Path());
    downloader.StartNext();
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

TEST_F(RealPack, ForAnotherGameIsRefusedAndChangesNothing) {
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
  EXPECT_FALSE(fs::exists(Data.Path() + kVersionFileName));
}

}  // namespace
}  // namespace qel::test
