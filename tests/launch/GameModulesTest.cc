#include "launch/GameModules.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "TempFolder.h"
#include "TestGameValues.h"
#include "launch/GameModuleLoader.h"

namespace qel {
namespace {

using namespace testgame;

TInitGameArgs ExpectedInitArgs(const std::string& run_info) {
  TInitGameArgs args;
  args.ParentWindow = kParentWindow;
  args.ParentWidth = kParentWidth;
  args.ParentHeight = kParentHeight;
  args.SrcId = kSrcId;
  args.Account = kAccount;
  args.Password = kLongPassword;
  args.DbId = kDbId;
  args.GsId = kGsId;
  args.RunInfo = run_info;
  return args;
}

// The module checks every byte; these are the cut rules it cannot see.
TEST(GameRecordsTest, TextsAreCutToTheirFieldLessOneAndEndWithNul) {
  const TUpdateGameRec rec = MakeUpdateGameRec(UpdateInfo());
  EXPECT_EQ(std::string(rec.UpdateInfo), UpdateInfo().substr(0, 511));
  const TInitGameIn in = MakeInitGameIn(ExpectedInitArgs("run"));
  EXPECT_EQ(std::string(in.Password), kLongPassword.substr(0, 63));
  EXPECT_EQ(std::string(in.RunInfo), "run");
}

class GameModuleTest : public testing::Test {
 protected:
  std::unique_ptr<TModule> LoadTestGame() {
    return LoadGameModule(DefaultModuleLoader(), Folder_.Path(), QEL_TEST_GAME_MODULE);
  }

  test::TTempFolder Folder_;
};

TEST_F(GameModuleTest, UpdateGameReceivesEveryFieldAsDocumentedAndReportsThroughTheRecord) {
  const std::unique_ptr<TModule> module = LoadTestGame();
  ASSERT_NE(module, nullptr);
  const TUpdateGameProc update_game = FindUpdateGame(*module);
  ASSERT_NE(update_game, nullptr);

  TUpdateGameRec rec = MakeUpdateGameRec(UpdateInfo());
  EXPECT_EQ(update_game(&rec), 0);
  EXPECT_EQ(ReadStatus(rec), 1);
  EXPECT_EQ(ReadProgress(rec), 100);
  RequestStop(rec);
  EXPECT_EQ(reinterpret_cast<const uint8_t*>(&rec)[4], 1);

  // The module does check: a wrong field is named by its offset.
  TUpdateGameRec wrong = MakeUpdateGameRec(UpdateInfo());
  wrong.Version = 1;
  EXPECT_EQ(update_game(&wrong), kWrongField + 2);
  wrong = MakeUpdateGameRec(UpdateInfo().substr(1));
  EXPECT_EQ(update_game(&wrong), kWrongField + 12);
}

TEST_F(GameModuleTest, InitGameReceivesEveryFieldAsDocumentedAndAnswersTheGameWindow) {
  const std::unique_ptr<TModule> module = LoadTestGame();
  ASSERT_NE(module, nullptr);
  const TInitGameProc init_game = FindInitGame(*module);
  ASSERT_NE(init_game, nullptr);

  const std::string run_info = RunInfo();
  TInitGameIn in = MakeInitGameIn(ExpectedInitArgs(run_info));
  TInitGameOut out = MakeInitGameOut();
  ASSERT_EQ(init_game(&in, &out), 0);
  EXPECT_EQ(out.GameWindow, kGameWindow);
  uint32_t mark = 0;
  std::memcpy(&mark, out.ModuleData2, sizeof mark);
  EXPECT_EQ(mark, kModuleMark);

  TInitGameArgs args = ExpectedInitArgs(run_info);
  args.GsId = kGsId + 1;
  in = MakeInitGameIn(args);
  out = MakeInitGameOut();
  EXPECT_EQ(init_game(&in, &out), kWrongField + 216);
  args = ExpectedInitArgs(run_info);
  args.Account = "player-two";
  in = MakeInitGameIn(args);
  EXPECT_EQ(init_game(&in, &out), kWrongField + 84);
}

TEST_F(GameModuleTest, EntryPointsAreFoundOnlyUnderTheirExactNames) {
  const std::unique_ptr<TModule> module =
      LoadGameModule(DefaultModuleLoader(), Folder_.Path(), QEL_WRONG_NAME_MODULE);
  ASSERT_NE(module, nullptr);
  EXPECT_NE(module->Entry("updategame"), nullptr);
  EXPECT_EQ(FindUpdateGame(*module), nullptr);
  EXPECT_EQ(FindInitGame(*module), nullptr);
  EXPECT_EQ(module->Entry(""), nullptr);
}

TEST_F(GameModuleTest, AFailedLoadRemembersTheInstallFolderAndNothingLoadsByBareName) {
  EXPECT_EQ(LoadGameModule(DefaultModuleLoader(), Folder_.Path(), Folder_ / "missing.so"), nullptr);
  EXPECT_EQ(DefaultModuleLoader().SearchFolder(), Folder_.Path());
  // A file that is no module.
  test::PutFile(Folder_ / "broken.so", "not a library");
  EXPECT_EQ(LoadGameModule(DefaultModuleLoader(), Folder_.Path(), Folder_ / "broken.so"), nullptr);
  EXPECT_FALSE(DefaultModuleLoader().SetSearchFolder(Folder_ / "broken.so"));
  // A bare name would be looked up among the system's libraries.
  EXPECT_EQ(DefaultModuleLoader().Load("libc.so.6"), nullptr);
  EXPECT_FALSE(DefaultModuleLoader().SetSearchFolder(Folder_ / "no-such-folder/"));
  EXPECT_EQ(DefaultModuleLoader().SearchFolder(), Folder_.Path());
}

// A loader that fails the first loads it is asked for.
class TScriptedLoader : public TModuleLoader {
 public:
  class TFakeModule : public TModule {
   public:
    void* Entry(const std::string&) override { return nullptr; }
  };

  int FailLoads = 0;
  bool FolderUsable = true;
  std::vector<std::string> Calls;

  std::unique_ptr<TModule> Load(const std::string& path) override {
    Calls.push_back("load " + path);
    if (FailLoads > 0) {
      --FailLoads;
      return nullptr;
    }
    return std::make_unique<TFakeModule>();
  }
  bool SetSearchFolder(const std::string& folder) override {
    Calls.push_back("folder " + folder);
    return FolderUsable;
  }
  std::string SearchFolder() const override { return {}; }
};

TEST(GameModuleLoadTest, TheLoadIsRetriedOnceAfterTheSearchFolderWasSet) {
  using Calls = std::vector<std::string>;
  {
    TScriptedLoader loader;
    EXPECT_NE(LoadGameModule(loader, "/games/g/", "/games/g/u.so"), nullptr);
    EXPECT_EQ(loader.Calls, (Calls{"load /games/g/u.so"}));
  }
  {
    TScriptedLoader loader;
    loader.FailLoads = 1;
    EXPECT_NE(LoadGameModule(loader, "/games/g/", "/games/g/u.so"), nullptr);
    EXPECT_EQ(loader.Calls, (Calls{"load /games/g/u.so", "folder /games/g/", "load /games/g/u.so"}));
  }
  {
    TScriptedLoader loader;
    loader.FailLoads = 2;
    EXPECT_EQ(LoadGameModule(loader, "/games/g/", "/games/g/u.so"), nullptr);
    EXPECT_EQ(loader.Calls.size(), 3u);
  }
  {
    TScriptedLoader loader;
    loader.FailLoads = 1;
    loader.FolderUsable = false;
    EXPECT_EQ(LoadGameModule(loader, "/games/g/", "/games/g/u.so"), nullptr);
    EXPECT_EQ(loader.Calls, (Calls{"load /games/g/u.so", "folder /games/g/"}));
  }
}

}  // namespace
}  // namespace qel
