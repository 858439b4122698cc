// Windows test programs never show a message box: one would wait for a click
// that never comes.
#include <gtest/gtest.h>

#include "platform/LastResort.h"

int main(int argc, char** argv) {
  qel::ReplaceReportBoxForTesting([](const std::string&) {});
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
