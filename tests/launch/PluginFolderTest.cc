#include "platform/PluginFolder.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "LaunchTestPlatform.h"
#include "platform/FileSystem.h"

namespace qel {
namespace {

TEST(PluginFolderTest, IsTheFolderOfTheFileHoldingThisCode) {
  const std::string folder = PluginDir();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), kPathDelimiter);
  const auto program = std::filesystem::canonical(test::ThisProgramPath());
  EXPECT_EQ(std::filesystem::canonical(folder), program.parent_path());
}

}  // namespace
}  // namespace qel
