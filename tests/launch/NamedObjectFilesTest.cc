// Named objects as files of the object folder, as Linux keeps them.
#include <gtest/gtest.h>

#include <filesystem>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "ObjectFolderFixture.h"
#include "platform/Error.h"
#include "platform/NamedMutex.h"
#include "platform/NamedSemaphore.h"

namespace qel {
namespace {

// Runs `work` on a thread of its own and answers its result.
template <class Work>
auto OnOtherThread(Work work) {
  return std::async(std::launch::async, work).get();
}

using NamedObjectsTest = test::ObjectFolderFixture;

TEST_F(NamedObjectsTest, MutexesAndSemaphoresOfOneNameAreSeparateObjects) {
  TNamedMutex mutex("both");
  ASSERT_TRUE(mutex.Wait(0));
  TNamedSemaphore semaphore("both", 1);
  EXPECT_TRUE(semaphore.TryAcquire());
  mutex.Release();
}

TEST_F(NamedObjectsTest, AnyNameStaysAFileInsideTheObjectFolder) {
  const std::string names[] = {"a/b", "a%2Fb", "../../escape", "..", ".", "", "\xFF\xFE\x01 game",
                               std::string("nul\0byte", 8), std::string(1000, '/'),
                               std::string(1000, '/') + "x"};
  std::vector<std::unique_ptr<TNamedMutex>> held;
  for (const std::string& name : names) {
    held.push_back(std::make_unique<TNamedMutex>(name));
    ASSERT_TRUE(held.back()->Wait(0));
  }
  // Every name got an object of its own: none of them is taken by another.
  for (const std::string& name : names)
    EXPECT_FALSE(OnOtherThread([&] { return TNamedMutex(name).Wait(0); })) << name;

  int files = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(Objects_.Path())) {
    ++files;
    EXPECT_TRUE(entry.is_regular_file()) << entry.path();
    const std::string file = entry.path().filename().string();
    EXPECT_LE(file.size(), 255u);
    EXPECT_EQ(file.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789._-%~"),
              std::string::npos)
        << file;
  }
  EXPECT_EQ(files, static_cast<int>(std::size(names)));
  for (auto& mutex : held) mutex->Release();
}

TEST_F(NamedObjectsTest, AnObjectFolderThatIsALinkIsNotUsed) {
  std::filesystem::create_directory_symlink(Objects_.Path(), PluginFolder_ / "link");
  SetNamedObjectFolderForTesting(PluginFolder_ / "link");
  EXPECT_THROW(TNamedMutex("m"), EQelError);
  EXPECT_THROW(TNamedSemaphore("s", 8), EQelError);
}

}  // namespace
}  // namespace qel
