#include "platform/ProcessEnvironment.h"

#include <gtest/gtest.h>

#include "platform/Error.h"

namespace qel {
namespace {

TEST(ProcessEnvironmentTest, SetsReplacesAndReadsVariables) {
  const std::string name = "QEL_ENVIRONMENT_TEST_VALUE";
  EXPECT_EQ(GetEnvironmentVariable(name), std::nullopt);

  SetEnvironmentVariable(name, "/opt/game one/:/usr/lib");
  EXPECT_EQ(GetEnvironmentVariable(name), "/opt/game one/:/usr/lib");
  SetEnvironmentVariable(name, "");
  // Present but empty is not the same as absent.
  EXPECT_EQ(GetEnvironmentVariable(name), "");
}

TEST(ProcessEnvironmentTest, RefusesNamesThatCannotBeSet) {
  EXPECT_THROW(SetEnvironmentVariable("", "x"), EQelError);
  try {
    SetEnvironmentVariable("QEL=BAD", "x");
    ADD_FAILURE() << "a name with '=' was accepted";
  } catch (const EQelError& error) {
    EXPECT_NE(std::string(error.what()).find("QEL=BAD"), std::string::npos) << error.what();
  }
}

}  // namespace
}  // namespace qel
