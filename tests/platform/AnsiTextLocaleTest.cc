#include "platform/AnsiText.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

namespace qel {
namespace {

// Linux takes "ANSI" from the locale's character set.
TEST(AnsiTextLocaleTest, AHostThatNeverSetALocalePassesUtf8TextThroughUnharmed) {
  SetAnsiCharsetForTesting("");
  const std::string previous = std::setlocale(LC_ALL, nullptr);
  std::setlocale(LC_ALL, "C");
  EXPECT_EQ(AnsiCharset(), "UTF-8");
  EXPECT_EQ(Utf8ToAnsi("Grüße"), "Grüße");
  EXPECT_EQ(AnsiToUtf16("Grüße"), u"Grüße");
  std::setlocale(LC_ALL, previous.c_str());
}

}  // namespace
}  // namespace qel
