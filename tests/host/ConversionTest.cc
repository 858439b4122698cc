#include <gtest/gtest.h>

#include "host/NPRuntime.h"
#include "platform/AnsiText.h"

namespace qel {
namespace {

std::string_view Utf8Of(const NPVariant& v) {
  return {v.value.stringValue.UTF8Characters, v.value.stringValue.UTF8Length};
}

class Conversion : public ::testing::Test {
 protected:
  void TearDown() override { SetAnsiCharsetForTesting(""); }
};

TEST_F(Conversion, NumbersAndBooleansTakeTheirPageTypes) {
  struct Case {
    TVariant value;
    NPVariantType type;
  };
  const Case cases[] = {
      {TVariant::ShortInt(-5), NPVariantType_Int32}, {TVariant::SmallInt(-300), NPVariantType_Int32},
      {TVariant::Integer(1), NPVariantType_Int32},   {TVariant::Byte(200), NPVariantType_Int32},
      {TVariant::Word(60000), NPVariantType_Int32},  {TVariant::Single(1.5f), NPVariantType_Double},
      {TVariant::Double(2.5), NPVariantType_Double}, {TVariant::Boolean(true), NPVariantType_Bool},
  };
  for (const Case& c : cases) {
    NPVariant v = VariantToNPVariant(c.value);
    EXPECT_EQ(v.type, c.type) << static_cast<int>(c.value.Kind());
    FreeNPVariantArgument(v);
  }
  NPVariant word = VariantToNPVariant(TVariant::Word(60000));
  EXPECT_EQ(word.value.intValue, 60000);
  NPVariant single = VariantToNPVariant(TVariant::Single(1.5f));
  EXPECT_EQ(single.value.doubleValue, 1.5);
  NPVariant flag = VariantToNPVariant(TVariant::Boolean(true));
  EXPECT_TRUE(flag.value.boolValue);
}

TEST_F(Conversion, KindsThePageCannotHoldPassAsVoid) {
  for (const TVariant& value :
       {TVariant(), TVariant::Null(), TVariant::Int64(1), TVariant::LongWord(7),
        TVariant::Currency(10000), TVariant::Date(45000.5)}) {
    NPVariant v = VariantToNPVariant(value);
    EXPECT_EQ(v.type, NPVariantType_Void) << static_cast<int>(value.Kind());
  }
}

TEST_F(Conversion, TextsBecomeExactUtf8Blocks) {
  NPVariant ascii = VariantToNPVariant(TVariant::WideText(u"abc"));
  ASSERT_EQ(ascii.type, NPVariantType_String);
  EXPECT_EQ(Utf8Of(ascii), "abc");
  FreeNPVariantArgument(ascii);

  NPVariant wide = VariantToNPVariant(TVariant::WideText(u"ab\u00e9"));
  EXPECT_EQ(wide.value.stringValue.UTF8Length, 4u);  // é takes two bytes
  EXPECT_EQ(Utf8Of(wide), "ab\xC3\xA9");
  FreeNPVariantArgument(wide);

  NPVariant empty = VariantToNPVariant(TVariant::AnsiText(""));
  ASSERT_EQ(empty.type, NPVariantType_String);
  EXPECT_EQ(empty.value.stringValue.UTF8Length, 0u);
  FreeNPVariantArgument(empty);
  EXPECT_EQ(empty.type, NPVariantType_Void);

  SetAnsiCharsetForTesting("CP1251");
  NPVariant cyrillic = VariantToNPVariant(TVariant::AnsiText("\xCF\xF0\xE8"));  // "При"
  EXPECT_EQ(Utf8Of(cyrillic), "\xD0\x9F\xD1\x80\xD0\xB8");
  FreeNPVariantArgument(cyrillic);
}

TEST_F(Conversion, ArgumentListsFreeTheirStrings) {
  TNPArguments none;
  EXPECT_EQ(none.Data(), nullptr);
  EXPECT_EQ(none.Count(), 0u);

  TNPArguments args({TVariant::Integer(1), TVariant::Double(2.5), TVariant::Boolean(false),
                     TVariant::AnsiText("text")});
  ASSERT_EQ(args.Count(), 4u);
  EXPECT_EQ(args.Data()[0].type, NPVariantType_Int32);
  EXPECT_EQ(args.Data()[1].type, NPVariantType_Double);
  EXPECT_EQ(args.Data()[2].type, NPVariantType_Bool);
  EXPECT_EQ(Utf8Of(args.Data()[3]), "text");
  // The blocks are released when `args` goes; AddressSanitizer sees any leak.
}

TEST_F(Conversion, PageValuesBecomeVariants) {
  NPVariant v{};
  v.type = NPVariantType_Void;
  EXPECT_TRUE(NPVariantToVariant(v).IsEmpty());
  v.type = NPVariantType_Null;
  EXPECT_TRUE(NPVariantToVariant(v).IsEmpty());
  v.type = NPVariantType_Int32;
  v.value.intValue = -7;
  EXPECT_EQ(NPVariantToVariant(v), TVariant::Integer(-7));
  v.type = NPVariantType_Double;
  v.value.doubleValue = 2.5;
  EXPECT_EQ(NPVariantToVariant(v), TVariant::Double(2.5));

  // Strings are not NUL-terminated: only UTF8Length bytes count.
  const char text[] = "Gr\xC3\xBC\xC3\x9F" "eXXX";
  v.type = NPVariantType_String;
  v.value.stringValue = {text, 7};
  TVariant wide = NPVariantToVariant(v);
  EXPECT_EQ(wide.Kind(), TVariantKind::vkWideText);
  EXPECT_EQ(wide.AsWideText(), u"Gr\u00fc\u00dfe");

  v.value.stringValue = {nullptr, 0};
  TVariant empty = NPVariantToVariant(v);
  EXPECT_EQ(empty.Kind(), TVariantKind::vkWideText);  // still a value
  EXPECT_TRUE(empty.AsWideText().empty());
}

TEST_F(Conversion, BrowserStringsBecomeEightBitText) {
  SetAnsiCharsetForTesting("ISO-8859-1");
  const NPString text{"Gr\xC3\xBC\xC3\x9F" "e", 7};
  EXPECT_EQ(NPStringToString(&text), "Gr\xFC\xDF" "e");
  const NPString empty{nullptr, 0};
  EXPECT_EQ(NPStringToString(&empty), "");
  EXPECT_EQ(NPStringToString(nullptr), "");
}

}  // namespace
}  // namespace qel
