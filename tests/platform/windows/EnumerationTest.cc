#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "ForeignClient.h"
#include "SampleGameRun.h"
#include "platform/AnsiText.h"
#include "platform/NativeWindows.h"

namespace qel::test {
namespace {

constexpr int kPatienceMs = 10000;

std::vector<TWindowHandle> TopLevelWindows(TWindowSystem& windows) {
  std::vector<TWindowHandle> all;
  windows.EnumTopLevelWindows([&](TWindowHandle window) {
    all.push_back(window);
    return true;
  });
  return all;
}

bool Contains(const std::vector<TWindowHandle>& list, TWindowHandle window) {
  return std::find(list.begin(), list.end(), window) != list.end();
}

struct TFacts {
  std::string Title;
  std::string ClassName;
  uint32_t ProcessId = 0;
  bool operator==(const TFacts&) const = default;
};

void PrintTo(const TFacts& facts, std::ostream* out) {
  *out << "{\"" << facts.Title << "\", \"" << facts.ClassName << "\", " << facts.ProcessId << "}";
}

TFacts FactsOf(TWindowSystem& windows, TWindowHandle window) {
  return {windows.WindowTitle(window), windows.WindowClassName(window), windows.WindowProcessId(window)};
}

// As a caller looking for a window asks: inside the enumeration, where the
// answers come from what it read of all windows at once. Nothing when the
// window is not among the top-level windows.
std::optional<TFacts> FactsWhileEnumerating(TWindowSystem& windows, TWindowHandle wanted) {
  std::optional<TFacts> facts;
  windows.EnumTopLevelWindows([&](TWindowHandle window) {
    if (window == wanted) facts = FactsOf(windows, window);
    return !facts;
  });
  return facts;
}

// Both ways of asking give the same answers.
void ExpectFacts(TWindowSystem& windows, TWindowHandle window, const TFacts& expected) {
  EXPECT_EQ(FactsWhileEnumerating(windows, window), expected);
  EXPECT_EQ(FactsOf(windows, window), expected);
}

class EnumerationTest : public ::testing::Test {
 protected:
  void TearDown() override { SetAnsiCharsetForTesting(""); }
  TWindowSystem& Windows = DefaultWindowSystem();
  TForeignClient Foreign;
};

TEST_F(EnumerationTest, FindsAnotherProgramsWindowWithItsTitleClassAndProcess) {
  TSampleGameRun game("Sample Game", "QelSampleWnd", "SrcID=1;");
  // Same title, another class and process: the caller must be able to tell.
  const TWindowHandle lookalike =
      Foreign.MakeWindow(0, {.WmName = "Sample Game", .ClassName = "OtherWnd", .ProcessId = game.Pid() + 1});

  const TWindowHandle window = game.AwaitWindow(Windows, kPatienceMs);
  ASSERT_NE(window, 0u);
  EXPECT_TRUE(Windows.IsWindow(window));
  EXPECT_EQ(Windows.GetParent(window), 0u);
  ExpectFacts(Windows, window, {"Sample Game", "QelSampleWnd", game.Pid()});
  ExpectFacts(Windows, lookalike, {"Sample Game", "OtherWnd", game.Pid() + 1});
}

TEST_F(EnumerationTest, TitleIsTheUtf8NameIn8BitTextElseTheOldNameAsItIs) {
  SetAnsiCharsetForTesting("ISO-8859-1");
  const TWindowHandle both = Foreign.MakeWindow(0, {.WmName = "old", .NetWmName = "Caf\xC3\xA9"});
  const TWindowHandle old_only = Foreign.MakeWindow(0, {.WmName = "\xE9t\xE9"});
  const TWindowHandle nameless = Foreign.MakeWindow(0, {});

  ExpectFacts(Windows, both, {"Caf\xE9", "", 0});
  ExpectFacts(Windows, old_only, {"\xE9t\xE9", "", 0});
  ExpectFacts(Windows, nameless, {"", "", 0});
}

TEST_F(EnumerationTest, LongTitlesComeWhole) {
  const std::string title(3000, 't');
  const TWindowHandle window = Foreign.MakeWindow(0, {.NetWmName = title});
  ExpectFacts(Windows, window, {title, "", 0});
}

TEST_F(EnumerationTest, AWindowManagersFrameIsReportedAsTheClientInside) {
  // frame (no WM_STATE) > decoration (no WM_STATE) > client (WM_STATE)
  const TWindowHandle frame = Foreign.MakeWindow(0, {}, 300, 200);
  const TWindowHandle decoration = Foreign.MakeWindow(frame, {}, 300, 200);
  Foreign.MakeWindow(frame, {}, 10, 10);  // a bare sibling: a border, say
  const TWindowHandle client = Foreign.MakeWindow(decoration, {.WmName = "framed", .WmState = true}, 280, 180);
  // A managed window straight under the root stands for itself, and so does
  // a window with no client anywhere inside (no window manager runs).
  const TWindowHandle managed = Foreign.MakeWindow(0, {.WmState = true});
  const TWindowHandle unmanaged = Foreign.MakeWindow(0, {});
  const TWindowHandle unmanaged_child = Foreign.MakeWindow(unmanaged, {});
  // Two clients in one frame at the same depth: the lowest in stacking order.
  const TWindowHandle pair_frame = Foreign.MakeWindow(0, {});
  const TWindowHandle lower = Foreign.MakeWindow(pair_frame, {.WmState = true});
  const TWindowHandle upper = Foreign.MakeWindow(pair_frame, {.WmState = true});
  // The shallowest client wins over a deeper one under an earlier child.
  const TWindowHandle mixed_frame = Foreign.MakeWindow(0, {});
  const TWindowHandle deep_parent = Foreign.MakeWindow(mixed_frame, {});
  const TWindowHandle deep = Foreign.MakeWindow(deep_parent, {.WmState = true});
  const TWindowHandle shallow = Foreign.MakeWindow(mixed_frame, {.WmState = true});

  const std::vector<TWindowHandle> all = TopLevelWindows(Windows);
  EXPECT_TRUE(Contains(all, client));
  EXPECT_FALSE(Contains(all, frame));
  EXPECT_FALSE(Contains(all, decoration));
  EXPECT_EQ(std::count(all.begin(), all.end(), client), 1);
  EXPECT_TRUE(Contains(all, managed));
  EXPECT_TRUE(Contains(all, unmanaged));
  EXPECT_FALSE(Contains(all, unmanaged_child));
  EXPECT_TRUE(Contains(all, lower));
  EXPECT_FALSE(Contains(all, upper));
  EXPECT_FALSE(Contains(all, pair_frame));
  EXPECT_TRUE(Contains(all, shallow));
  EXPECT_FALSE(Contains(all, deep));
  ExpectFacts(Windows, client, {"framed", "", 0});
}

TEST_F(EnumerationTest, StopsWhenTheVisitorSaysSo) {
  Foreign.MakeWindow(0, {});
  Foreign.MakeWindow(0, {});
  ASSERT_GE(TopLevelWindows(Windows).size(), 2u);
  int visits = 0;
  Windows.EnumTopLevelWindows([&](TWindowHandle) {
    ++visits;
    return false;
  });
  EXPECT_EQ(visits, 1);
}

TEST_F(EnumerationTest, AWindowThatGoesAwayMeanwhileIsNoLongerAWindow) {
  const TWindowHandle doomed = Foreign.MakeWindow(0, {.WmName = "doomed"});
  bool destroyed = false;
  bool visited = false;
  Windows.EnumTopLevelWindows([&](TWindowHandle window) {
    if (!destroyed) {
      Foreign.Destroy(doomed);
      destroyed = true;
    }
    if (window == doomed) {
      visited = true;
      // What the enumeration read before still stands; changes fail.
      EXPECT_EQ(Windows.WindowTitle(window), "doomed");
      EXPECT_FALSE(Windows.IsWindow(window));
      EXPECT_FALSE(Windows.MoveWindow(window, 0, 0, 5, 5));
    }
    return true;
  });
  EXPECT_TRUE(visited);
  // Afterwards its title is read afresh.
  EXPECT_EQ(Windows.WindowTitle(doomed), "");
}

TEST_F(EnumerationTest, AnEnumerationInsideAnotherAnswersForItsOwnWindows) {
  const TWindowHandle first = Foreign.MakeWindow(0, {.WmName = "first"});
  bool checked = false;
  Windows.EnumTopLevelWindows([&](TWindowHandle outer) {
    if (outer != first) return true;
    const TWindowHandle second = Foreign.MakeWindow(0, {.WmName = "second"});
    std::string inner_title;
    Windows.EnumTopLevelWindows([&](TWindowHandle inner) {
      if (inner == second) inner_title = Windows.WindowTitle(inner);
      return inner != second;
    });
    EXPECT_EQ(inner_title, "second");
    // The outer enumeration still answers as it read its windows.
    Foreign.SetWmName(first, "renamed");
    EXPECT_EQ(Windows.WindowTitle(first), "first");
    checked = true;
    return false;
  });
  EXPECT_TRUE(checked);
  EXPECT_EQ(Windows.WindowTitle(first), "renamed");
}

}  // namespace
}  // namespace qel::test
