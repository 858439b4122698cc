#include "platform/AnsiText.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/Error.h"

namespace qel {
namespace {

class AnsiTextTest : public testing::Test {
 protected:
  void TearDown() override { SetAnsiCharsetForTesting(""); }
};

TEST_F(AnsiTextTest, RoundTripsLatin1Text) {
  SetAnsiCharsetForTesting("ISO-8859-1");
  const std::string ansi = "Gr\xFC\xDF" "e, \xC4rger";
  EXPECT_EQ(AnsiToUtf8(ansi), "Grüße, Ärger");
  EXPECT_EQ(Utf8ToAnsi("Grüße, Ärger"), ansi);
  EXPECT_EQ(AnsiToUtf16(ansi), u"Grüße, Ärger");
  EXPECT_EQ(Utf16ToAnsi(u"Grüße, Ärger"), ansi);
}

TEST_F(AnsiTextTest, RoundTripsCyrillicTextInCp1251) {
  SetAnsiCharsetForTesting("CP1251");
  const std::string ansi = "\xCF\xF0\xE8\xE2\xE5\xF2, \xEC\xE8\xF0! \xA8\xB8";
  EXPECT_EQ(AnsiToUtf8(ansi), "Привет, мир! Ёё");
  EXPECT_EQ(Utf8ToAnsi("Привет, мир! Ёё"), ansi);
  EXPECT_EQ(AnsiToUtf16(ansi), u"Привет, мир! Ёё");
  EXPECT_EQ(Utf16ToAnsi(u"Привет, мир! Ёё"), ansi);
}

TEST_F(AnsiTextTest, WhatTheCharsetCannotHoldBecomesOneQuestionMarkPerCharacter) {
  SetAnsiCharsetForTesting("ISO-8859-1");
  EXPECT_EQ(Utf8ToAnsi("a€b"), "a?b");
  EXPECT_EQ(Utf8ToAnsi("Мир ü"), "??? \xFC");
  // One character in two UTF-16 units is still one '?'.
  EXPECT_EQ(Utf16ToAnsi(u"x\U0001F600y"), "x?y");

  SetAnsiCharsetForTesting("CP1251");
  EXPECT_EQ(Utf8ToAnsi("Äx"), "?x");
  // 0x98 is the one byte CP1251 leaves without a character.
  EXPECT_EQ(AnsiToUtf8("a\x98" "b"), "a?b");
  EXPECT_EQ(AnsiToUtf16("a\x98" "b"), u"a?b");
}

TEST_F(AnsiTextTest, InvalidUtf8BecomesOneQuestionMarkPerByte) {
  SetAnsiCharsetForTesting("ISO-8859-1");
  EXPECT_EQ(Utf8ToUtf16("a\xFF" "b"), u"a?b");
  EXPECT_EQ(Utf8ToAnsi("a\xFF" "b\xFC"), "a?b?");
  EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), u"??");            // overlong '/'
  EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80" "z"), u"???z");  // a surrogate is no character
  EXPECT_EQ(Utf8ToUtf16("\xE2\x82" "A"), u"??A");       // sequence cut short

  // The view ends inside the euro sign: the byte after it must stay unread.
  const char euro[] = "\xE2\x82\xAC";
  const std::string_view cut(euro, 2);
  EXPECT_EQ(Utf8ToUtf16(cut), u"??");
  EXPECT_EQ(Utf8ToAnsi(cut), "??");
}

TEST_F(AnsiTextTest, InvalidUtf16BecomesOneQuestionMarkPerUnit) {
  SetAnsiCharsetForTesting("ISO-8859-1");
  EXPECT_EQ(Utf16ToUtf8(u"a\xD800" u"b"), "a?b");  // high surrogate without its pair
  EXPECT_EQ(Utf16ToUtf8(u"\xDE00" u"c"), "?c");    // low surrogate alone
  EXPECT_EQ(Utf16ToUtf8(u"d\xD83D"), "d?");        // text ends between the pair
  EXPECT_EQ(Utf16ToAnsi(u"\xD800\xD800" u"\xFC"), "??\xFC");
}

TEST_F(AnsiTextTest, SurrogatePairsConvertBetweenUtf16AndUtf8) {
  const std::u16string wide = u"\U0001F600 \U00010348";
  const std::string utf8 = "\xF0\x9F\x98\x80 \xF0\x90\x8D\x88";
  ASSERT_EQ(wide.size(), 5u);
  EXPECT_EQ(Utf16ToUtf8(wide), utf8);
  EXPECT_EQ(Utf8ToUtf16(utf8), wide);
}

TEST_F(AnsiTextTest, LowerCasesByTheCharsetsRules) {
  SetAnsiCharsetForTesting("ISO-8859-1");
  EXPECT_EQ(AnsiLowerCase("\xC4\xD6\xDC Abc 1"), "\xE4\xF6\xFC abc 1");  // ÄÖÜ -> äöü

  SetAnsiCharsetForTesting("CP1251");
  EXPECT_EQ(AnsiLowerCase("\xCF\xD0\xC8\xC2\xC5\xD2 \xA8"), "\xEF\xF0\xE8\xE2\xE5\xF2 \xB8");
  // A byte that is no character keeps its value.
  EXPECT_EQ(AnsiLowerCase("A\x98" "B"), "a\x98" "b");

  // CP437 holds capital Gamma but not small gamma; it holds both sigmas.
  SetAnsiCharsetForTesting("CP437");
  EXPECT_EQ(AnsiLowerCase("\xE2\xE4"), "\xE2\xE5");

  SetAnsiCharsetForTesting("UTF-8");
  EXPECT_EQ(AnsiLowerCase("ÄÖÜ ПРИВЕТ \xFF X"), "äöü привет \xFF x");
}

TEST_F(AnsiTextTest, EmptyTextsStayEmpty) {
  SetAnsiCharsetForTesting("CP1251");
  EXPECT_EQ(AnsiToUtf8(""), "");
  EXPECT_EQ(Utf8ToAnsi(""), "");
  EXPECT_EQ(AnsiToUtf16(""), u"");
  EXPECT_EQ(Utf16ToAnsi(u""), "");
  EXPECT_EQ(Utf8ToUtf16(""), u"");
  EXPECT_EQ(Utf16ToUtf8(u""), "");
  EXPECT_EQ(AnsiLowerCase(""), "");
}

TEST_F(AnsiTextTest, CharsetIsThePinnedOneUntilAnotherIsPinned) {
  SetAnsiCharsetForTesting("CP1251");
  EXPECT_EQ(AnsiCharset(), "CP1251");
  EXPECT_THROW(SetAnsiCharsetForTesting("NO-SUCH-CHARSET"), EQelError);
  EXPECT_EQ(AnsiCharset(), "CP1251");
  SetAnsiCharsetForTesting("CP437");
  EXPECT_EQ(AnsiCharset(), "CP437");
}

}  // namespace
}  // namespace qel
