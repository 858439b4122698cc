#include <algorithm>

#include "LauncherFixture.h"
#include "launcher/FormLoaderPlugin.h"

namespace qel::test {
namespace {

using EmbedAttributes = LauncherTest;

TEST_F(EmbedAttributes, SetPropertiesThroughTheSameTablesAsScript) {
  Embed({{"GAMEGUID", "{1234}"},
         {"initver", "7x"},
         {"updatever", "0x10"},
         {"disksize", " 300"},
         {"bar_x", "-5"},
         {"multirun", "TRUE"},
         {"unicodeparam", "True"},
         {"initdata", "http://127.0.0.1/init.pack"},
         {"width", "300"},
         {"qel_ver", "1"}});
  EXPECT_EQ(Read("gameguid"), "{1234}");
  EXPECT_EQ(Read("initver"), "0");  // not a number: ignored
  EXPECT_EQ(Read("updatever"), "16");
  EXPECT_EQ(Read("disksize"), "300");
  EXPECT_EQ(Read("bar_x"), "-5");
  EXPECT_EQ(Read("multirun"), "true");
  EXPECT_EQ(Read("unicodeparam"), "true");
  EXPECT_EQ(Read("initdata"), "http://127.0.0.1/init.pack");
  EXPECT_EQ(Read("qel_ver"), "131073");
  EXPECT_FALSE(Read("width").has_value());
}

TEST_F(EmbedAttributes, FlagsTakeOnlyTrueAndFalseAndLaterOnesWin) {
  Embed({{"manage", "true"}, {"multirun", "yes"}, {"unicodeparam", "1"}, {"MANAGE", "FALSE"},
         {"multirun", "true"}, {"multirun", " true"}});
  EXPECT_EQ(Read("manage"), "false");
  EXPECT_EQ(Read("multirun"), "true");
  EXPECT_EQ(Read("unicodeparam"), "false");
}

TEST_F(EmbedAttributes, ActionAttributesDoNothingBeforeTheWorkflowExists) {
  Embed({{"startapp", "true"}, {"abortgame", "true"}, {"manage", "true"},
         {"resetdata", "true"}, {"removegame", "true"}});
  EXPECT_EQ(Read("startapp"), "false");
  EXPECT_EQ(Read("abortgame"), "false");
  EXPECT_EQ(Read("manage"), "true");
  EXPECT_EQ(Read("resetdata"), "false");
}

TEST_F(EmbedAttributes, NonAsciiAttributesArriveAsEightBitText) {
  SetAnsiCharsetForTesting("ISO-8859-1");
  const std::string utf8 = "Gr\xC3\xBC\xC3\x9F" "e";
  Embed({{"logid", utf8}});
  auto* launcher = static_cast<TFormLoaderPlugin*>(instance->Npp()->pdata);
  EXPECT_EQ(launcher->Settings().logid, "Gr\xFC\xDF" "e");
  // Read back as UTF-8 exactly once: no double encoding on the way.
  EXPECT_EQ(Read("logid"), utf8);
}

// Attributes need no page object; the only questions during NPP_New are how
// the browser hosts plug-ins (this one gives them windows).
TEST_F(EmbedAttributes, NeedNoPageObjectOnlyTheHostingQuestions) {
  browser.ClearCalls();
  Embed({{"gameguid", "{G}"}, {"bgpic", "http://127.0.0.1/bg.jpg"}});
  std::vector<std::string> calls = browser.Calls();
  calls.erase(std::remove_if(calls.begin(), calls.end(),
                             [](const std::string& call) { return call.rfind("GetValue", 0) != 0 &&
                                                                  call.rfind("SetValue", 0) != 0; }),
              calls.end());
  EXPECT_EQ(calls, (std::vector<std::string>{"GetValue 14", "GetValue 13"}));
}

}  // namespace
}  // namespace qel::test
