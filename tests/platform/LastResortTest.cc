#include "platform/LastResort.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "platform/Error.h"

namespace qel {
namespace {

TEST(LastResortTest, ReportsEachFailureAsOneLineOnStandardError) {
  testing::internal::CaptureStderr();
  ReportUnhandled("first\nsecond\r\nthird");
  ReportUnhandled(std::runtime_error("runtime failure"));
  try {
    throw EQelError("system failure");
  } catch (...) {
    ReportCurrentException();
  }
  try {
    throw 42;
  } catch (...) {
    ReportCurrentException();
  }
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "npqelgame: first second  third\n"
            "npqelgame: runtime failure\n"
            "npqelgame: system failure\n"
            "npqelgame: unknown failure\n");
}

}  // namespace
}  // namespace qel
