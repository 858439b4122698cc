#include "platform/PluginFolder.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace qel {
namespace {

TEST(PluginFolderTest, IsTheFolderOfTheFileHoldingThisCode) {
  const std::string folder = PluginDir();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), '/');
  const auto program = std::filesystem::canonical("/proc/self/exe");
  EXPECT_EQ(std::filesystem::canonical(folder), program.parent_path());
}

}  // namespace
}  // namespace qel
