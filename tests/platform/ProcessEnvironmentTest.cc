#include "platform/ProcessEnvironment.h"

#include <gtest/gtest.h>

#include "platform/Error.h"

namespace qel {
namespace {

TEST(ProcessEnvironmentTest, SetsReplacesAndReadsVariables) {
  const std::string name = "QEL_ENVIRONMENT_TEST_VALUE";
  EXPECT_EQ(ReadEnvironmentVariable(name), std::nullopt);

  WriteEnvironmentVariable(name, "/opt/game one/:/usr/lib");
  EXPECT_EQ(ReadEnvironmentVariable(name), "/opt/game one/:/usr/lib");
  WriteEnvironmentVariable(name, "");
  // Present but empty is not the same as absent.
  EXPECT_EQ(ReadEnvironmentVariable(name), "");
}

TEST(ProcessEnvironmentTest, RefusesNamesThatCannotBeSet) {
  EXPECT_THROW(WriteEnvironmentVariable("", "x"), EQelError);
  try {
    WriteEnvironmentVariable("QEL=BAD", "x");
    ADD_FAILURE() << "a name with '=' was accepted";
  } catch (const EQelError& error) {
    EXPECT_NE(std::string(error.what()).find("QEL=BAD"), std::string::npos) << error.what();
  }
}

}  // namespace
}  // namespace qel
