#include <cmath>
#include <cstring>
#include <limits>

#include "LauncherFixture.h"
#include "launcher/FormLoaderPlugin.h"

namespace qel::test {
namespace {

using Properties = LauncherTest;

const char* const kStrings[] = {"gameguid", "initdata", "updatedata", "installpath",
                                "logid",    "logcode",  "bgpic",      "barpng",
                                "steppng",  "ftpinfo",  "runinfo"};
const char* const kNumbers[] = {"gamever", "initver", "updatever", "nowprogress", "showkind",
                                "errcode", "disksize", "srcid",    "dbid",        "gsid",
                                "qel_ver", "bar_x",    "bar_y",    "step_x",      "step_y"};
const char* const kFlags[] = {"startapp", "abortgame", "resetdata", "removegame",
                              "manage",   "multirun",  "unicodeparam"};

TEST_F(Properties, EveryNameIsAPropertyOfItsTypeInAnyLetterCase) {
  Embed();
  for (const char* name : kStrings) EXPECT_EQ(ReadType(name), NPVariantType_String) << name;
  for (const char* name : kNumbers) EXPECT_EQ(ReadType(name), NPVariantType_Int32) << name;
  for (const char* name : kFlags) EXPECT_EQ(ReadType(name), NPVariantType_Bool) << name;
  EXPECT_TRUE(browser.HasProperty(object.get(), "GameGuid"));
  EXPECT_EQ(Read("STARTAPP"), "false");
  EXPECT_EQ(Read("StartApp"), Read("startapp"));

  EXPECT_FALSE(browser.HasProperty(object.get(), "gameguid2"));
  EXPECT_FALSE(Read("version").has_value());
  EXPECT_FALSE(WriteText("version", "1"));
  ScopedVariant result(browser);
  EXPECT_FALSE(browser.GetProperty(object.get(), "", result.out()));
  EXPECT_FALSE(browser.HasMethod(object.get(), "startapp"));
  EXPECT_FALSE(browser.Invoke(object.get(), "startapp", {}, result.out()));
  EXPECT_FALSE(browser.InvokeDefault(object.get(), {}, result.out()));
  EXPECT_FALSE(browser.RemoveProperty(object.get(), "gameguid"));
  EXPECT_FALSE(browser.Enumerate(object.get()).has_value());
}

TEST_F(Properties, IntegerIdentifiersNameNothing) {
  Embed();
  ScopedVariant result(browser);
  NPObject* o = object.get();
  EXPECT_FALSE(o->_class->hasProperty(o, browser.IntIdentifier(0)));
  EXPECT_FALSE(o->_class->getProperty(o, browser.IntIdentifier(0), result.out()));
}

TEST_F(Properties, IdleWorkflowValues) {
  Embed();
  EXPECT_EQ(Read("qel_ver"), "131073");
  EXPECT_EQ(Read("nowprogress"), "0");
  EXPECT_EQ(Read("showkind"), "0");
  EXPECT_EQ(Read("errcode"), "0");
  EXPECT_EQ(Read("installpath"), "");

  // Properties without a writer accept writes and keep reporting their own value.
  EXPECT_TRUE(Write("nowprogress", FakeBrowser::IntVariant(5)));
  EXPECT_TRUE(Write("qel_ver", FakeBrowser::IntVariant(1)));
  EXPECT_TRUE(WriteText("installpath", "/tmp/elsewhere/"));
  EXPECT_EQ(Read("nowprogress"), "0");
  EXPECT_EQ(Read("qel_ver"), "131073");
  EXPECT_EQ(Read("installpath"), "");
}

TEST_F(Properties, StringsStoreOnlyStrings) {
  Embed();
  EXPECT_TRUE(WriteText("gameguid", "{ABC}"));
  EXPECT_EQ(Read("GAMEGUID"), "{ABC}");
  EXPECT_FALSE(Write("gameguid", FakeBrowser::IntVariant(7)));
  EXPECT_FALSE(Write("gameguid", FakeBrowser::BoolVariant(true)));
  EXPECT_FALSE(Write("gameguid", FakeBrowser::NullVariant()));
  EXPECT_EQ(Read("gameguid"), "{ABC}");

  EXPECT_TRUE(WriteText("gameguid", ""));
  ScopedVariant empty(browser);
  ASSERT_TRUE(browser.GetProperty(object.get(), "gameguid", empty.out()));
  EXPECT_EQ(empty.get().type, NPVariantType_String);
  EXPECT_EQ(empty.get().value.stringValue.UTF8Characters, nullptr);
  EXPECT_EQ(empty.get().value.stringValue.UTF8Length, 0u);
}

TEST_F(Properties, NonAsciiTextTravelsAsUtf8AndIsKeptAsEightBit) {
  SetAnsiCharsetForTesting("CP1251");
  Embed();
  const std::string utf8 = "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82";  // "Привет"
  EXPECT_TRUE(WriteText("logid", utf8));
  auto* launcher = static_cast<TFormLoaderPlugin*>(instance->Npp()->pdata);
  EXPECT_EQ(launcher->Settings().logid, "\xCF\xF0\xE8\xE2\xE5\xF2");
  ScopedVariant result(browser);
  ASSERT_TRUE(browser.GetProperty(object.get(), "logid", result.out()));
  EXPECT_EQ(result.get().value.stringValue.UTF8Length, utf8.size());  // no terminator
  EXPECT_EQ(result.Text(), utf8);
}

TEST_F(Properties, NumbersFollowTheNumericTextRule) {
  Embed();
  EXPECT_TRUE(Write("gamever", FakeBrowser::IntVariant(-3)));
  EXPECT_EQ(Read("gamever"), "-3");
  for (const char* text : {"12", " 42", "+42", "$2A", "0x2a", "x2A"}) {
    EXPECT_TRUE(WriteText("gamever", text)) << text;
  }
  EXPECT_EQ(Read("gamever"), "42");
  EXPECT_TRUE(WriteText("GameVer", "$FFFFFFFF"));
  EXPECT_EQ(Read("gamever"), "-1");
  EXPECT_TRUE(WriteText("gamever", "42"));
  for (const char* text : {"42 ", "-$2A", "4 2", "", "abc", "12.5"}) {
    EXPECT_FALSE(WriteText("gamever", text)) << text;
  }
  EXPECT_FALSE(Write("gamever", FakeBrowser::BoolVariant(true)));
  EXPECT_FALSE(Write("gamever", FakeBrowser::NullVariant()));
  EXPECT_EQ(Read("gamever"), "42");
}

// Script engines of the WebKit family pass every number as a double.
TEST_F(Properties, WholeDoublesWithinRangeAreStoredAsIntegers) {
  Embed();
  EXPECT_TRUE(Write("gamever", FakeBrowser::DoubleVariant(7.0)));
  EXPECT_EQ(Read("gamever"), "7");
  EXPECT_TRUE(Write("initver", FakeBrowser::DoubleVariant(-2147483648.0)));
  EXPECT_EQ(Read("initver"), "-2147483648");
  for (double refused : {12.5, -0.25, 2147483648.0, -2147483649.0,
                         std::numeric_limits<double>::quiet_NaN(),
                         std::numeric_limits<double>::infinity()}) {
    EXPECT_FALSE(Write("gamever", FakeBrowser::DoubleVariant(refused))) << refused;
  }
  EXPECT_EQ(Read("gamever"), "7");
}

TEST_F(Properties, FlagsTakeBooleansOnly) {
  Embed();
  EXPECT_TRUE(Write("manage", FakeBrowser::BoolVariant(true)));
  EXPECT_EQ(Read("manage"), "true");
  EXPECT_TRUE(Write("Manage", FakeBrowser::BoolVariant(false)));
  EXPECT_EQ(Read("manage"), "false");
  EXPECT_FALSE(Write("multirun", FakeBrowser::IntVariant(1)));
  EXPECT_FALSE(WriteText("multirun", "true"));
  EXPECT_EQ(Read("multirun"), "false");

  // Any non-zero byte in the Boolean counts as true.
  NPVariant odd = FakeBrowser::BoolVariant(false);
  const unsigned char two = 2;
  std::memcpy(&odd.value.boolValue, &two, 1);
  EXPECT_TRUE(browser.SetProperty(object.get(), "unicodeparam", odd));
  EXPECT_EQ(Read("unicodeparam"), "true");
}

TEST_F(Properties, ActionFlagsNeedAWorkflowAndReadAsTheirState) {
  Embed();
  // No workflow exists before the first timer tick: the writes succeed and
  // change nothing, so the page may write again later.
  EXPECT_TRUE(Write("startapp", FakeBrowser::BoolVariant(true)));
  EXPECT_EQ(Read("startapp"), "false");
  EXPECT_TRUE(Write("abortgame", FakeBrowser::BoolVariant(true)));
  EXPECT_EQ(Read("abortgame"), "false");
  EXPECT_TRUE(Write("startapp", FakeBrowser::BoolVariant(false)));

  EXPECT_TRUE(Write("resetdata", FakeBrowser::BoolVariant(true)));
  EXPECT_TRUE(Write("manage", FakeBrowser::BoolVariant(true)));
  EXPECT_TRUE(Write("removegame", FakeBrowser::BoolVariant(true)));
  EXPECT_EQ(Read("resetdata"), "false");
  EXPECT_EQ(Read("removegame"), "false");
}

TEST_F(Properties, TheObjectOutlivesItsInstanceSafely) {
  Embed();
  EXPECT_TRUE(WriteText("gameguid", "{G}"));
  instance.reset();
  ASSERT_TRUE(browser.IsLive(object.get()));
  EXPECT_FALSE(browser.HasProperty(object.get(), "gameguid"));
  EXPECT_FALSE(Read("gameguid").has_value());
  EXPECT_FALSE(WriteText("gameguid", "{H}"));
}

TEST_F(Properties, ResultsLeaveNoBrowserMemoryBehind) {
  Embed({{"gameguid", "{1234}"}, {"logid", "player"}});
  for (int i = 0; i < 10; ++i) {
    for (const char* name : kStrings) Read(name);
    EXPECT_TRUE(WriteText("runinfo", "run " + std::to_string(i)));
  }
  EXPECT_EQ(browser.LiveBlocks(), 0u);
}

}  // namespace
}  // namespace qel::test
