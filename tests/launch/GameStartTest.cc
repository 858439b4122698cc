// The pieces of a game's start: its parameter string, the window search,
// the embedding, and the search path its modules load through.
#include <gtest/gtest.h>

#include <initializer_list>
#include <optional>
#include <string>

#include "FakeWindowSystem.h"
#include "LaunchTestPlatform.h"
#include "launch/GameParameters.h"
#include "launch/GameWindow.h"
#include "launch/SearchPath.h"
#include "platform/FileSystem.h"
#include "platform/ProcessEnvironment.h"

namespace qel::test {
namespace {

TEST(GameParametersTest, FieldsArePresentOnlyWhenSetAndKeepTheirOrder) {
  EXPECT_EQ(BuildGameParameters({}), "");

  TLaunchInfo some;
  some.SrcId = 7;
  some.Account = "abc";
  some.GsId = 3;
  EXPECT_EQ(BuildGameParameters(some), "SrcID=7;Account=abc;GSID=3;");

  TLaunchInfo all;
  all.SrcId = 1;
  all.Account = "a b";
  all.Password = "p;w";
  all.DbId = -42;
  all.GsId = 2147483647;
  all.RunInfo = "server=eu;lang=de";
  EXPECT_EQ(BuildGameParameters(all),
            "SrcID=1;Account=a b;Passwd=p;w;DBID=-42;GSID=2147483647;webinfo=server=eu;lang=de;");
}

TEST(GameWindowSearchTest, OnlyTheGamesProcessWindowWithExactTitleAndClassIsFound) {
  TFakeWindowSystem windows;
  windows.AddTopLevel("Sample Game", "QelSample", 20);  // another process
  windows.AddTopLevel("sample game", "QelSample", 10);  // letter case counts
  windows.AddTopLevel("Sample Game", "QelSample2", 10);
  const TWindowHandle wanted = windows.AddTopLevel("Sample Game", "QelSample", 10);
  windows.AddTopLevel("Sample Game", "QelSample", 10);  // the first one wins

  TEnumData data{"QelSample", "Sample Game", 10, 0, false};
  FindGameWindow(windows, data);
  EXPECT_TRUE(data.Found);
  EXPECT_EQ(data.Window, wanted);

  TEnumData absent{"QelSample", "Sample Game", 30, 0, false};
  FindGameWindow(windows, absent);
  EXPECT_FALSE(absent.Found);
}

TEST(GameWindowSearchTest, TitlesAreComparedAsFarAsTheTitleBufferReaches) {
  TFakeWindowSystem windows;
  const std::string long_title(300, 't');
  windows.AddTopLevel(long_title, "C", 1);
  // A wanted title longer than 254 characters can never match...
  TEnumData full{"C", long_title, 1, 0, false};
  FindGameWindow(windows, full);
  EXPECT_FALSE(full.Found);
  // ... while the window's own long title is read only that far.
  TEnumData cut{"C", long_title.substr(0, 254), 1, 0, false};
  FindGameWindow(windows, cut);
  EXPECT_TRUE(cut.Found);
}

TEST(EmbedWindowTest, TheWindowTakesTheHostsSizeAndIsShownEvenWhenReparentingFails) {
  TFakeWindowSystem windows;
  const TWindowHandle host = windows.CreatePlainWindow(0, 0, 0, 320, 240);
  const TWindowHandle game = windows.AddTopLevel("G", "C", 1);
  EXPECT_TRUE(EmbedWindow(windows, game, host));
  EXPECT_EQ(windows.GetParent(game), host);
  EXPECT_EQ(windows.ClientSize(game).Width, 320);
  EXPECT_EQ(windows.ClientSize(game).Height, 240);

  const TWindowHandle stubborn = windows.AddTopLevel("G", "C", 1);
  windows.FailSetParent = true;
  windows.Calls.clear();
  EXPECT_FALSE(EmbedWindow(windows, stubborn, host));
  EXPECT_TRUE(windows.Windows[stubborn].Visible);
  EXPECT_EQ(windows.Calls.back(), "show");
}

class SearchPathTest : public testing::Test {
 protected:
  SearchPathTest() : Saved_(ReadEnvironmentVariable("PATH")) {}
  ~SearchPathTest() override {
    if (Saved_) {
      WriteEnvironmentVariable("PATH", *Saved_);
    } else {
      RemoveEnvironmentVariable("PATH");
    }
  }
  static std::string Path() { return ReadEnvironmentVariable("PATH").value_or("<unset>"); }
  std::optional<std::string> Saved_;
};

// Folders and search paths in this system's own notation: "/games/a/"
// is written Folder({"games", "a"}) and is "\\games\\a\\" on Windows.
std::string Folder(std::initializer_list<const char*> names) {
  std::string folder(1, kPathDelimiter);
  for (const char* name : names) folder += std::string(name) + kPathDelimiter;
  return folder;
}

std::string WithoutDelimiter(const std::string& folder) { return folder.substr(0, folder.size() - 1); }

std::string Entries(std::initializer_list<std::string> entries) {
  std::string path;
  for (const std::string& entry : entries) path += (path.empty() ? "" : std::string(1, kSearchPathSeparator)) + entry;
  return path;
}

TEST_F(SearchPathTest, AFolderIsAddedOnceAsAnEntryOfItsOwn) {
  const std::string games_a = Folder({"games", "a"});
  const std::string usr_bin = WithoutDelimiter(Folder({"usr", "bin"}));
  WriteEnvironmentVariable("PATH", "");
  AddToSearchPath(games_a);
  EXPECT_EQ(Path(), games_a);

  WriteEnvironmentVariable("PATH", Entries({usr_bin, WithoutDelimiter(games_a)}));
  AddToSearchPath(games_a);
  EXPECT_EQ(Path(), Entries({usr_bin, WithoutDelimiter(games_a)}));

  // Contained in another entry's text is not being an entry.
  const std::string games_a_b = WithoutDelimiter(Folder({"games", "a", "b"}));
  WriteEnvironmentVariable("PATH", Entries({usr_bin, games_a_b}));
  AddToSearchPath(games_a);
  EXPECT_EQ(Path(), Entries({usr_bin, games_a_b, games_a}));
  AddToSearchPath(games_a);
  EXPECT_EQ(Path(), Entries({usr_bin, games_a_b, games_a}));
}

TEST_F(SearchPathTest, AtMost2048CharactersAreAdded) {
  const std::string usr_bin = WithoutDelimiter(Folder({"usr", "bin"}));
  WriteEnvironmentVariable("PATH", usr_bin);
  AddToSearchPath(Folder({std::string(3000, 'x').c_str()}));
  EXPECT_EQ(Path().size(), usr_bin.size() + 2048);
}

}  // namespace
}  // namespace qel::test
