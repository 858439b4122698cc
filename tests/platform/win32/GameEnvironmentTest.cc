#include "platform/win32/GameEnvironment.h"

#include <gtest/gtest.h>

#include <string>

namespace qel::win32 {
namespace {

using namespace std::string_literals;

TEST(GameEnvironmentTest, ParametersTakeTheirPlaceByNameAndReplaceAnyOfOurs) {
  const std::u16string current =
      u"=C:=C:\\games\0ALLUSERSPROFILE=C:\\ProgramData\0Path=C:\\game\0qel_game_parameters=stale\0"
      u"TEMP=C:\\Temp\0\0"s;
  EXPECT_EQ(GameEnvironmentBlock(current, u"SrcID=1;Passwd=a=b;"),
            u"=C:=C:\\games\0ALLUSERSPROFILE=C:\\ProgramData\0Path=C:\\game\0"
            u"QEL_GAME_PARAMETERS=SrcID=1;Passwd=a=b;\0TEMP=C:\\Temp\0\0"s);
  EXPECT_EQ(GameEnvironmentBlock(current, u""),
            u"=C:=C:\\games\0ALLUSERSPROFILE=C:\\ProgramData\0Path=C:\\game\0TEMP=C:\\Temp\0\0"s);
}

TEST(GameEnvironmentTest, OnlyTheWholeNameCounts) {
  const std::u16string current = u"QEL_GAME=2\0QEL_GAME_PARAMETERS_OLD=1\0\0"s;
  EXPECT_EQ(GameEnvironmentBlock(current, u"x"),
            u"QEL_GAME=2\0QEL_GAME_PARAMETERS=x\0QEL_GAME_PARAMETERS_OLD=1\0\0"s);
}

TEST(GameEnvironmentTest, EmptyBlocksStayWellFormed) {
  EXPECT_EQ(GameEnvironmentBlock(u"\0\0"s, u""), u"\0\0"s);
  EXPECT_EQ(GameEnvironmentBlock(u"QEL_GAME_PARAMETERS=old\0\0"s, u""), u"\0\0"s);
  EXPECT_EQ(GameEnvironmentBlock(u"\0"s, u"p"), u"QEL_GAME_PARAMETERS=p\0\0"s);
  EXPECT_EQ(GameEnvironmentBlock(u""s, u"p"), u"QEL_GAME_PARAMETERS=p\0\0"s);
}

}  // namespace
}  // namespace qel::win32
