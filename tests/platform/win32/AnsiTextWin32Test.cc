// ANSI text on Windows: the system's code page, code pages named as iconv
// names them, and double-byte code pages.
#include "platform/AnsiText.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/Error.h"

namespace qel {
namespace {

class AnsiTextWin32Test : public testing::Test {
 protected:
  void TearDown() override { SetAnsiCharsetForTesting(""); }
};

TEST_F(AnsiTextWin32Test, AnsiIsTheSystemsCodePageUnlessAnotherIsPinned) {
  const std::string system = "CP" + std::to_string(GetACP());
  EXPECT_EQ(AnsiCharset(), system);
  SetAnsiCharsetForTesting("cp1251");
  EXPECT_EQ(AnsiToUtf8("\xC6"), "Ж");
  SetAnsiCharsetForTesting("");
  EXPECT_EQ(AnsiCharset(), system);

  // The same text through our conversion and the system's own.
  const std::u16string wide = u"Gr\u00FC\u00DFe \u20AC";
  char expected[32] = "";
  const int length = WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<LPCWSTR>(wide.data()),
                                         static_cast<int>(wide.size()), expected, sizeof expected, nullptr, nullptr);
  ASSERT_GT(length, 0);
  EXPECT_EQ(Utf16ToAnsi(wide), std::string(expected, static_cast<size_t>(length)));
}

TEST_F(AnsiTextWin32Test, CodePagesAreNamedAsIconvNamesThem) {
  SetAnsiCharsetForTesting("CP65001");
  EXPECT_EQ(Utf8ToAnsi("Grüße"), "Grüße");
  SetAnsiCharsetForTesting("ISO-8859-2");
  EXPECT_EQ(AnsiToUtf8("\xA3\xF3\xE8"), "Łóč");
  for (const char* unknown : {"CP", "CP-1", "CP1251x", "CP99999", "ISO-8859-99", "KOI8-R", "cp 1251"})
    EXPECT_THROW(SetAnsiCharsetForTesting(unknown), EQelError) << unknown;
  EXPECT_EQ(AnsiCharset(), "ISO-8859-2");
}

TEST_F(AnsiTextWin32Test, DoubleByteCharactersStayWholeAndBrokenOnesBecomeQuestionMarks) {
  SetAnsiCharsetForTesting("CP932");
  const std::string ansi = "\x93\xFA\x96\x7B a";  // 日本 a
  EXPECT_EQ(AnsiToUtf8(ansi), "日本 a");
  EXPECT_EQ(Utf8ToAnsi("日本 a"), ansi);
  // A lead byte at the end, and one followed by no trail byte.
  EXPECT_EQ(AnsiToUtf8("a\x93"), "a?");
  EXPECT_EQ(AnsiToUtf8("\x93\x0A" "b"), "?\nb");
  EXPECT_EQ(Utf8ToAnsi("Ж\U0001F600x"), "\x84\x47?x");

  // Full-width Latin letters have lower cases of two bytes too.
  EXPECT_EQ(AnsiLowerCase("\x82\x60\x82\x61 A\x93\xFA"), "\x82\x81\x82\x82 a\x93\xFA");
}

TEST_F(AnsiTextWin32Test, WindowsCodePagesHolesAreNoCharacters) {
  // 0x81 is a hole in 1252 that the system fills with U+0081.
  SetAnsiCharsetForTesting("CP1252");
  EXPECT_EQ(AnsiToUtf16("\x80\x81\x9F"), u"\u20AC?\u0178");
  EXPECT_EQ(Utf16ToAnsi(u"\u0081\u20AC"), "?\x80");
  // ISO-8859-1 has the controls as characters.
  SetAnsiCharsetForTesting("ISO-8859-1");
  EXPECT_EQ(AnsiToUtf16("\x81"), u"\u0081");
}

}  // namespace
}  // namespace qel
