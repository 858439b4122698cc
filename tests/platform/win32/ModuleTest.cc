#include "platform/Module.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/PluginFolder.h"

namespace qel {
namespace {

using TAnswer = int (*)();

// Built beside the tests: the module in modules\, its dependency in
// module-dependencies\, where the loader does not look by itself.
const std::string& TestFolder() {
  static const std::string folder = PluginDir();
  return folder;
}
const std::string kModule = "qel_test_module.dll";

TEST(PluginFolderTest, IsTheFolderOfTheProgramThatHoldsTheCode) {
  const std::string folder = PluginDir();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), '\\');
  EXPECT_TRUE(std::filesystem::exists(folder + "win32_basics_tests.exe")) << folder;
}

TEST(ModuleTest, AModuleLoadsOnceItsDependenciesAreInTheSearchFolderAndGoesWithItsOwner) {
  TModuleLoader& loader = DefaultModuleLoader();
  const std::string path = TestFolder() + "modules\\" + kModule;
  ASSERT_TRUE(std::filesystem::exists(path));
  // Skipped when an earlier test in this process has set the folder already.
  if (loader.SearchFolder().empty()) {
    EXPECT_EQ(loader.Load(path), nullptr);
  }

  const std::string dependencies = TestFolder() + "module-dependencies\\";
  ASSERT_TRUE(loader.SetSearchFolder(dependencies));
  EXPECT_EQ(loader.SearchFolder(), dependencies);
  std::unique_ptr<TModule> module = loader.Load(path);
  ASSERT_NE(module, nullptr);

  const auto answer = reinterpret_cast<TAnswer>(module->Entry("QelTestAnswer"));
  ASSERT_NE(answer, nullptr);
  EXPECT_EQ(answer(), 42);
  EXPECT_EQ(module->Entry("qeltestanswer"), nullptr);
  EXPECT_EQ(module->Entry(""), nullptr);
  EXPECT_EQ(module->Entry("QelTestMissing"), nullptr);

  EXPECT_NE(GetModuleHandleA(path.c_str()), nullptr);
  module.reset();
  EXPECT_EQ(GetModuleHandleA(path.c_str()), nullptr);
}

TEST(ModuleTest, ABareFileNameIsNeverLookedUp) {
  TModuleLoader& loader = DefaultModuleLoader();
  // Found in the search folder or among the system's libraries, were it
  // looked up.
  ASSERT_TRUE(loader.SetSearchFolder(TestFolder() + "modules\\"));
  EXPECT_EQ(loader.Load(kModule), nullptr);
  EXPECT_EQ(loader.Load("kernel32.dll"), nullptr);
  EXPECT_EQ(loader.Load(""), nullptr);
  EXPECT_EQ(loader.Load(TestFolder() + "modules\\no such module.dll"), nullptr);
}

}  // namespace
}  // namespace qel
