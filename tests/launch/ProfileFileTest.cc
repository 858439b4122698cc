#include "platform/ProfileFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

#include "TempFolder.h"
#include "platform/AnsiText.h"
#include "platform/Error.h"

namespace qel {
namespace {

std::string Read(std::string_view text, std::string_view section, std::string_view key) {
  return TProfileFile::Parse(text).ReadString(section, key, "<default>");
}

TEST(ProfileFileTest, SectionsAndKeysMatchWithoutRegardToCase) {
  const std::string text = "[gAmElAuNcH]\nINITMODULE=game.so\ninitkind=2\n";
  EXPECT_EQ(Read(text, "GameLaunch", "InitModule"), "game.so");
  EXPECT_EQ(Read(text, "gamelaunch", "InitKind"), "2");
  EXPECT_EQ(Read(text, "GameLaunch", "Init"), "<default>");
  EXPECT_EQ(Read(text, "Game", "InitKind"), "<default>");
}

TEST(ProfileFileTest, NonAsciiNamesMatchByTheCharactersetsLetterCase) {
  SetAnsiCharsetForTesting("ISO-8859-1");
  EXPECT_EQ(Read("[\xC4RGER]\n\xDC" "BER=1\n", "\xE4rger", "\xFC" "ber"), "1");
  SetAnsiCharsetForTesting("");
}

TEST(ProfileFileTest, TheFirstMatchWins) {
  // The first key of a name; and only the first section of a name is searched.
  const std::string text =
      "[GameLaunch]\nInitKind=1\ninitkind=2\nWndTitle\nWndTitle=late\n"
      "[Other]\nUpdateModule=other.so\n"
      "[GAMELAUNCH]\nInitKind=3\nUpdateModule=second.so\n";
  EXPECT_EQ(Read(text, "GameLaunch", "InitKind"), "1");
  EXPECT_EQ(Read(text, "GameLaunch", "UpdateModule"), "<default>");
  EXPECT_EQ(Read(text, "Other", "UpdateModule"), "other.so");
  // A key line without "=" is found first and has no value.
  EXPECT_EQ(Read(text, "GameLaunch", "WndTitle"), "<default>");
}

TEST(ProfileFileTest, CommentsBlankLinesAndLinesOutsideSectionsAreNotRead) {
  const std::string text =
      "InitKind=9\n"
      "; [GameLaunch]\n"
      "[GameLaunch]\n"
      "  ;InitKind=5\n"
      "\n"
      "\t \n"
      "#WndClassName=hash\n"
      "InitKind=1 ; the init module\n";
  // A ";" after the value is part of the value, as in the profile services.
  EXPECT_EQ(Read(text, "GameLaunch", "InitKind"), "1 ; the init module");
  EXPECT_EQ(Read(text, "GameLaunch", "WndClassName"), "<default>");
  EXPECT_EQ(Read(text, "GameLaunch", "#WndClassName"), "hash");
}

TEST(ProfileFileTest, ValuesLoseOuterBlanksAndOnePairOfQuotes) {
  const std::string text =
      "[S]\n"
      "  Title \t=  Main  Window \t\r\n"
      "Quoted=\"  kept blanks  \"\n"
      "Single='x'\n"
      "Mixed=\"x'\n"
      "Nested=\"\"inner\"\"\n"
      "Empty=\"\"\n"
      "Lone=\"\n"
      "Blank=\n"
      "Eq=a=b\n";
  EXPECT_EQ(Read(text, "S", "Title"), "Main  Window");
  EXPECT_EQ(Read(text, "S", "Quoted"), "  kept blanks  ");
  EXPECT_EQ(Read(text, "S", "Single"), "x");
  EXPECT_EQ(Read(text, "S", "Mixed"), "\"x'");
  EXPECT_EQ(Read(text, "S", "Nested"), "\"inner\"");
  EXPECT_EQ(Read(text, "S", "Empty"), "");
  EXPECT_EQ(Read(text, "S", "Lone"), "\"");
  EXPECT_EQ(Read(text, "S", "Blank"), "");
  EXPECT_EQ(Read(text, "S", "Eq"), "a=b");
}

TEST(ProfileFileTest, LongValuesAreCutTo2047Characters) {
  const std::string value(5000, 'v');
  const std::string cut(2047, 'v');
  EXPECT_EQ(Read("[S]\nK=" + value + "\n", "S", "K"), cut);
  EXPECT_EQ(Read("[S]\nK=" + cut + "\n", "S", "K"), cut);
  EXPECT_EQ(Read("[S]\nK=" + cut + "w\n", "S", "K"), cut);
  // Quotes go before the cut.
  EXPECT_EQ(Read("[S]\nK=\"" + value + "\"\n", "S", "K"), cut);
  EXPECT_EQ(Read("[S]\nK=\"ab\"", "S", "K"), "ab");
}

TEST(ProfileFileTest, LineEndingsByteOrderMarkAndNulBytes) {
  EXPECT_EQ(Read("[S]\r\nK=crlf\r\n", "S", "K"), "crlf");
  EXPECT_EQ(Read("[S]\nK=no final newline", "S", "K"), "no final newline");
  EXPECT_EQ(Read("\xEF\xBB\xBF[S]\nK=bom", "S", "K"), "bom");
  EXPECT_EQ(Read(std::string("[S]\nK=ab\0cd\n", 12), "S", "K"), "ab");
  // Without its "]" a line is no section header.
  EXPECT_EQ(Read("[S]\nK=1\n[T\nK=2\n", "S", "K"), "1");
  EXPECT_EQ(Read("[S]x]\nK=3\n", "S]x", "K"), "3");
}

TEST(ProfileFileTest, BinaryGarbageReadsAsWhatItHolds) {
  std::mt19937 random(42);
  for (int round = 0; round < 50; ++round) {
    std::string garbage(1 + random() % 20000, '\0');
    for (char& c : garbage) c = static_cast<char>(random());
    const TProfileFile profile = TProfileFile::Parse(garbage);
    EXPECT_LE(profile.ReadString("GameLaunch", "InitKind", "").size(), TProfileFile::kValueLimit);
    // A real section after the garbage is still found.
    EXPECT_EQ(Read(garbage + "\n[GameLaunch]\nInitKind=2\n", "GameLaunch", "InitKind"), "2");
  }
  const std::string long_line(1 << 20, '[');
  EXPECT_EQ(Read(long_line + "\n[S]\nK=after\n", "S", "K"), "after");
}

TEST(ProfileFileTest, LoadReadsAFileAndTakesAMissingOrUnreadableOneAsEmpty) {
  const test::TTempFolder folder;
  test::PutFile(folder / "a.ini", "[S]\nK=from file\n");
  EXPECT_EQ(TProfileFile::Load(DefaultFileSystem(), folder / "a.ini").ReadString("S", "K", ""), "from file");
  EXPECT_EQ(TProfileFile::Load(DefaultFileSystem(), folder / "none.ini").ReadString("S", "K", "d"), "d");
  std::filesystem::create_directory(folder / "dir.ini");
  EXPECT_EQ(TProfileFile::Load(DefaultFileSystem(), folder / "dir.ini").ReadString("S", "K", "d"), "d");
}

TEST(ProfileFileTest, LoadRefusesAFileTooLargeToBeAProfile) {
  const test::TTempFolder folder;
  test::PutFile(folder / "big.ini", "[S]\nK=1\n");
  std::filesystem::resize_file(folder / "big.ini", TProfileFile::kFileLimit);
  EXPECT_EQ(TProfileFile::Load(DefaultFileSystem(), folder / "big.ini").ReadString("S", "K", ""), "1");
  std::filesystem::resize_file(folder / "big.ini", TProfileFile::kFileLimit + 1);
  EXPECT_THROW(TProfileFile::Load(DefaultFileSystem(), folder / "big.ini"), EQelError);
}

}  // namespace
}  // namespace qel
