// The pieces of a game's start: its parameter string, the window search,
// the embedding, and the search path its modules load through.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "FakeWindowSystem.h"
#include "launch/GameParameters.h"
#include "launch/GameWindow.h"
#include "launch/SearchPath.h"
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
      unsetenv("PATH");
    }
  }
  static std::string Path() { return ReadEnvironmentVariable("PATH").value_or("<unset>"); }
  std::optional<std::string> Saved_;
};

TEST_F(SearchPathTest, AFolderIsAddedOnceAsAnEntryOfItsOwn) {
  WriteEnvironmentVariable("PATH", "");
  AddToSearchPath("/games/a/");
  EXPECT_EQ(Path(), "/games/a/");

  WriteEnvironmentVariable("PATH", "/usr/bin:/games/a");
  AddToSearchPath("/games/a/");
  EXPECT_EQ(Path(), "/usr/bin:/games/a");

  // Contained in another entry's text is not being an entry.
  WriteEnvironmentVariable("PATH", "/usr/bin:/games/a/b");
  AddToSearchPath("/games/a/");
  EXPECT_EQ(Path(), "/usr/bin:/games/a/b:/games/a/");
  AddToSearchPath("/games/a/");
  EXPECT_EQ(Path(), "/usr/bin:/games/a/b:/games/a/");
}

TEST_F(SearchPathTest, AtMost2048CharactersAreAdded) {
  WriteEnvironmentVariable("PATH", "/usr/bin");
  AddToSearchPath("/" + std::string(3000, 'x') + "/");
  EXPECT_EQ(Path().size(), std::string("/usr/bin").size() + 2048);
}

}  // namespace
}  // namespace qel::test
