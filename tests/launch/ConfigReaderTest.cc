#include "launch/ConfigReader.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "TempFolder.h"
#include "platform/AnsiText.h"
#include "platform/Error.h"

namespace qel {
namespace {

class ConfigReaderTest : public testing::Test {
 protected:
  TConfigReader ReadConfig(const std::string& content) {
    test::PutFile(Folder_ / "config.ini", content);
    return TConfigReader(Folder_ / "config.ini");
  }

  test::TTempFolder Folder_;
};

TEST_F(ConfigReaderTest, ReadsTheSixValuesOfGameLaunch) {
  // Key names in another letter case are found.
  const TConfigReader config = ReadConfig(
      "[Other]\nInitKind=7\n"
      "[gamelaunch]\n"
      "initkind=1\n"
      "InitModule=bin/init.so\n"
      "UpdateModule=update.so\n"
      "WndClassName=QelGameWindow\n"
      "WndTitle=The Game\n"
      "GameGUID={7A3D-11}\n");
  EXPECT_EQ(config.InitKind(), 1);
  EXPECT_EQ(config.InitModule(), "bin/init.so");
  EXPECT_EQ(config.UpdateModule(), "update.so");
  EXPECT_EQ(config.WndClassName(), "QelGameWindow");
  EXPECT_EQ(config.WndTitle(), "The Game");
  EXPECT_EQ(config.GameGUID(), "{7A3D-11}");
}

TEST_F(ConfigReaderTest, MissingFileSectionOrKeysGiveTheDefaults) {
  for (const char* content : {"", "[Other]\nInitKind=2\nGameGUID=x\n", "[GameLaunch]\nInitModule=i.so\n"}) {
    const TConfigReader config = ReadConfig(content);
    EXPECT_EQ(config.InitKind(), 0) << content;
    EXPECT_EQ(config.UpdateModule(), "") << content;
    EXPECT_EQ(config.GameGUID(), "") << content;
  }
  const TConfigReader none(Folder_ / "missing/config.ini");
  EXPECT_EQ(none.InitKind(), 0);
  EXPECT_EQ(none.InitModule(), "");
  EXPECT_EQ(none.WndClassName(), "");
  // The empty GameGUID then matches no page identifier but the empty one.
  EXPECT_FALSE(none.MatchesGuid("{game}"));
  EXPECT_TRUE(none.MatchesGuid(""));
}

TEST_F(ConfigReaderTest, LaterChangesToTheFileAreNotSeen) {
  const TConfigReader config = ReadConfig("[GameLaunch]\nInitKind=1\n");
  test::PutFile(Folder_ / "config.ini", "[GameLaunch]\nInitKind=2\n");
  EXPECT_EQ(config.InitKind(), 1);
}

TEST_F(ConfigReaderTest, InitKindIsParsedAsDecimalOrPrefixedHexadecimal) {
  EXPECT_EQ(ReadConfig("[GameLaunch]\nInitKind = 0x2 \n").InitKind(), 2);
  EXPECT_EQ(ReadConfig("[GameLaunch]\nInitKind=two\n").InitKind(), 0);

  EXPECT_EQ(ParseInitKind("1"), 1);
  EXPECT_EQ(ParseInitKind("+2"), 2);
  EXPECT_EQ(ParseInitKind("-5"), -5);
  EXPECT_EQ(ParseInitKind("0002"), 2);
  EXPECT_EQ(ParseInitKind("0x1A"), 26);
  EXPECT_EQ(ParseInitKind("0X1a"), 26);
  EXPECT_EQ(ParseInitKind("$10"), 16);
  EXPECT_EQ(ParseInitKind("0xFFFFFFFF"), -1);
  EXPECT_EQ(ParseInitKind("0x00000000002"), 2);
  EXPECT_EQ(ParseInitKind("2147483647"), 2147483647);
  EXPECT_EQ(ParseInitKind("-2147483648"), INT32_MIN);
  // Unparsable values give 0.
  for (const char* text : {"", "two", "0x", "$", "0x100000000", "2147483648", "-2147483649", "12abc",
                           " 2", "1 ; comment", "x2", "$-1", "0xG", "+", "-", "1.0"})
    EXPECT_EQ(ParseInitKind(text), 0) << '"' << text << '"';
}

TEST_F(ConfigReaderTest, GameGuidMatchesWithoutRegardToLetterCase) {
  const TConfigReader config = ReadConfig("[GameLaunch]\nGameGUID={ABCDEF-12}\n");
  EXPECT_TRUE(config.MatchesGuid("{abcdef-12}"));
  EXPECT_TRUE(config.MatchesGuid("{ABCDEF-12}"));
  EXPECT_FALSE(config.MatchesGuid("{abcdef-13}"));
  EXPECT_FALSE(config.MatchesGuid("{abcdef-12} "));
  EXPECT_FALSE(config.MatchesGuid(""));

  SetAnsiCharsetForTesting("CP1251");
  const TConfigReader cyrillic = ReadConfig("[GameLaunch]\nGameGUID=\xC8\xC3\xD0\xC0\n");  // ИГРА
  EXPECT_TRUE(cyrillic.MatchesGuid("\xE8\xE3\xF0\xE0"));                                // игра
  EXPECT_FALSE(cyrillic.MatchesGuid("\xE8\xE3\xF0\xE1"));
  SetAnsiCharsetForTesting("");
}

TEST_F(ConfigReaderTest, AFileTooLargeToBeAConfigurationFailsTheReader) {
  test::PutFile(Folder_ / "config.ini", "[GameLaunch]\nInitKind=1\n");
  std::filesystem::resize_file(Folder_ / "config.ini", 64 * 1024 * 1024);
  EXPECT_THROW(TConfigReader(Folder_ / "config.ini"), EQelError);
}

}  // namespace
}  // namespace qel
