#include "launcher/NumericText.h"

#include <gtest/gtest.h>

namespace qel {
namespace {

TEST(NumericText, AcceptsDecimalAndHexadecimalForms) {
  EXPECT_EQ(ParseNumericText("42"), 42);
  EXPECT_EQ(ParseNumericText("   42"), 42);
  EXPECT_EQ(ParseNumericText("+42"), 42);
  EXPECT_EQ(ParseNumericText("-42"), -42);
  EXPECT_EQ(ParseNumericText("007"), 7);
  EXPECT_EQ(ParseNumericText("0"), 0);
  EXPECT_EQ(ParseNumericText("$2A"), 42);
  EXPECT_EQ(ParseNumericText("x2a"), 42);
  EXPECT_EQ(ParseNumericText("X2A"), 42);
  EXPECT_EQ(ParseNumericText("0x2a"), 42);
  EXPECT_EQ(ParseNumericText("0X2A"), 42);
}

TEST(NumericText, DecimalRangeIsSigned32Bit) {
  EXPECT_EQ(ParseNumericText("2147483647"), 2147483647);
  EXPECT_EQ(ParseNumericText("-2147483648"), INT32_MIN);
  EXPECT_EQ(ParseNumericText("2147483648"), std::nullopt);
  EXPECT_EQ(ParseNumericText("-2147483649"), std::nullopt);
  EXPECT_EQ(ParseNumericText("99999999999999999999999"), std::nullopt);
}

TEST(NumericText, HexadecimalIsTheBitPatternOfUpToEightDigits) {
  EXPECT_EQ(ParseNumericText("$FFFFFFFF"), -1);
  EXPECT_EQ(ParseNumericText("0x80000000"), INT32_MIN);
  EXPECT_EQ(ParseNumericText("0x000000002a"), 42);  // leading zeros are not significant
  EXPECT_EQ(ParseNumericText("$100000000"), std::nullopt);
}

TEST(NumericText, RefusesEverythingElse) {
  for (const char* text : {"", " ", "42 ", "4 2", "-$2A", "+0x2a", "-x1", "0x", "$", "+", "-",
                           "\t42", "42x", "12.5", "1e3", "0x2g", "--1", "7x"}) {
    EXPECT_EQ(ParseNumericText(text), std::nullopt) << '"' << text << '"';
  }
}

}  // namespace
}  // namespace qel
