// Named objects and the install register shared with other processes: each
// other process is a real one (tests/launch/LaunchHelper.cc), started
// fresh, and killed with SIGKILL where a crash is the point.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "LaunchTestPlatform.h"
#include "ObjectFolderFixture.h"
#include "launch/GameRegister.h"
#include "launch/ObjectNames.h"
#include "platform/AtomicFile.h"
#include "platform/NamedMutex.h"
#include "platform/NamedSemaphore.h"

namespace qel {
namespace {

using test::FileContent;
using test::RawRecord;

class CrossProcessTest : public test::ObjectFolderFixture {
 protected:
  std::unique_ptr<test::TChildProcess> StartHelper() {
    return std::make_unique<test::TChildProcess>(QEL_LAUNCH_HELPER, std::vector<std::string>{Objects_.Path()});
  }
};

TEST_F(CrossProcessTest, AMutexHeldByAnotherProcessIsNotObtainedWithinTheWait) {
  const std::string name = DownloadMutexName("{game}");
  auto helper = StartHelper();
  ASSERT_EQ(helper->Ask("mutex " + name), "ok");
  ASSERT_EQ(helper->Ask("wait 0"), "owned");

  TNamedMutex mutex(name);
  EXPECT_FALSE(mutex.Wait(kNamedMutexWaitMs));
  // The same name in another letter case is another mutex.
  EXPECT_TRUE(TNamedMutex(DownloadMutexName("{GAME}")).Wait(0));
  ASSERT_EQ(helper->Ask("release"), "released");
  ASSERT_TRUE(mutex.Wait(kNamedMutexWaitMs));

  // A process started while we hold it (as a game is started) inherits none
  // of our objects: it would hold them on after we are gone.
  TNamedSemaphore semaphore(RunSemaphoreName("{game}"), kRunSemaphoreUnits);
  ASSERT_TRUE(semaphore.TryAcquire());
  auto late = StartHelper();
  ASSERT_EQ(late->Ask("mutex " + name), "ok");
  // Its own handle only, where named objects are files (on Windows the
  // objects are no files to count).
  if (const auto open = test::FilesOpenIn(late->Pid(), Objects_.Path())) {
    EXPECT_EQ(open->size(), 1u);
  }
  EXPECT_EQ(late->Ask("wait " + std::to_string(kNamedMutexWaitMs)), "busy");
  mutex.Release();
  EXPECT_EQ(late->Ask("wait " + std::to_string(kNamedMutexWaitMs)), "owned");
  EXPECT_EQ(late->Ask("wait 0"), "owned");  // reentered in that process
}

TEST_F(CrossProcessTest, AKilledHoldersMutexIsFree) {
  const std::string name = RegisterMutexName();
  auto helper = StartHelper();
  ASSERT_EQ(helper->Ask("mutex " + name), "ok");
  ASSERT_EQ(helper->Ask("wait 0"), "owned");
  TNamedMutex mutex(name);
  ASSERT_FALSE(mutex.Wait(0));
  helper->Kill();
  EXPECT_TRUE(mutex.Wait(0));
  mutex.Release();
}

TEST_F(CrossProcessTest, EightUnitsAreSharedByProcesses) {
  const std::string name = RunSemaphoreName("{game}");
  auto first = StartHelper();
  auto second = StartHelper();
  ASSERT_EQ(first->Ask("semaphore " + name + " 8"), "ok");
  ASSERT_EQ(second->Ask("semaphore " + name + " 8"), "ok");
  ASSERT_EQ(first->Ask("take 5"), "took 5");
  ASSERT_EQ(second->Ask("take 8"), "took 3");

  TNamedSemaphore semaphore(name, kRunSemaphoreUnits);
  EXPECT_FALSE(semaphore.TryAcquire());  // the ninth
  ASSERT_EQ(second->Ask("give 1"), "gave 1");
  EXPECT_TRUE(semaphore.TryAcquire());
  EXPECT_FALSE(semaphore.TryAcquire());

  ASSERT_EQ(first->Ask("give 5"), "gave 5");
  for (int i = 0; i < 5; ++i) EXPECT_TRUE(semaphore.TryAcquire()) << i;
  EXPECT_FALSE(semaphore.TryAcquire());
  ASSERT_EQ(second->Ask("give 2"), "gave 2");
  EXPECT_TRUE(semaphore.TryAcquire());
  EXPECT_TRUE(semaphore.TryAcquire());
  EXPECT_FALSE(semaphore.TryAcquire());
  EXPECT_EQ(semaphore.Held(), 8);

  // Now another process finds none.
  auto third = StartHelper();
  ASSERT_EQ(third->Ask("semaphore " + name + " 8"), "ok");
  EXPECT_EQ(third->Ask("take 1"), "took 0");
}

TEST_F(CrossProcessTest, AKilledHoldersUnitsComeBack) {
  if (const char* reason = test::KilledHoldersUnitsStayTaken()) GTEST_SKIP() << reason;
  const std::string name = RunSemaphoreName("{game}");
  auto first = StartHelper();
  auto second = StartHelper();
  ASSERT_EQ(first->Ask("semaphore " + name + " 8"), "ok");
  ASSERT_EQ(second->Ask("semaphore " + name + " 8"), "ok");
  ASSERT_EQ(first->Ask("take 5"), "took 5");
  ASSERT_EQ(second->Ask("take 8"), "took 3");

  TNamedSemaphore semaphore(name, kRunSemaphoreUnits);
  EXPECT_FALSE(semaphore.TryAcquire());
  first->Kill();
  for (int i = 0; i < 5; ++i) EXPECT_TRUE(semaphore.TryAcquire()) << i;
  EXPECT_FALSE(semaphore.TryAcquire());
  second->Kill();
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(semaphore.TryAcquire()) << i;
  EXPECT_FALSE(semaphore.TryAcquire());
  EXPECT_EQ(semaphore.Held(), 8);
}

TEST_F(CrossProcessTest, TheRegisterIsBusyWhileAnotherProcessHoldsItsMutex) {
  TGameRegister game_register(PluginFolder_.Path());
  ASSERT_TRUE(game_register.AddRecord("a", "/a/"));
  auto helper = StartHelper();
  ASSERT_EQ(helper->Ask("mutex " + RegisterMutexName()), "ok");
  ASSERT_EQ(helper->Ask("wait 0"), "owned");
  EXPECT_EQ(game_register.GetPath("a"), "");
  EXPECT_FALSE(game_register.AddRecord("b", "/b/"));
  EXPECT_FALSE(game_register.RemoveRecord("a"));
  ASSERT_EQ(helper->Ask("release"), "released");
  EXPECT_EQ(game_register.GetPath("a"), "/a/");
}

TEST_F(CrossProcessTest, ACrashBetweenWritingAndRenamingLeavesTheOldRegisterReadable) {
  TGameRegister game_register(PluginFolder_.Path());
  ASSERT_TRUE(game_register.AddRecord("a", "/a/"));
  ASSERT_TRUE(game_register.AddRecord("b", "default path"));
  const std::string before = FileContent(RegisterFile());

  auto helper = StartHelper();
  ASSERT_EQ(helper->Ask("crash-add " + PluginFolder_.Path() + " c /c/"), "renaming");
  // The new register was written whole; only the rename is missing.
  const std::string pending = PendingFileName(RegisterFile());
  EXPECT_EQ(FileContent(pending), before + RawRecord("c", "/c/"));
  helper->Kill();

  EXPECT_EQ(FileContent(RegisterFile()), before);
  EXPECT_EQ(game_register.GetPath("a"), "/a/");
  EXPECT_EQ(game_register.GetPath("b"), PluginFolder_ / "b/");
  EXPECT_EQ(game_register.GetPath("c"), "");
  // The next write goes on from the old register.
  ASSERT_TRUE(game_register.AddRecord("d", "/d/"));
  EXPECT_EQ(FileContent(RegisterFile()), before + RawRecord("d", "/d/"));
  EXPECT_FALSE(std::filesystem::exists(pending));
}

TEST_F(CrossProcessTest, WritersInSeveralProcessesLoseNoRecord) {
  constexpr int kPerProcess = 25;
  std::vector<std::unique_ptr<test::TChildProcess>> writers;
  for (int i = 0; i < 3; ++i) writers.push_back(StartHelper());
  for (int i = 0; i < 3; ++i)
    writers[i]->WriteLine("add-many " + PluginFolder_.Path() + " w" + std::to_string(i) + " " +
                          std::to_string(kPerProcess));
  for (auto& writer : writers)
    EXPECT_EQ(writer->ReadLine(120000), "added " + std::to_string(kPerProcess));

  const std::string content = FileContent(RegisterFile());
  ASSERT_EQ(content.size(), 3u * kPerProcess * 516);
  std::set<std::string> ids;
  for (std::size_t at = 0; at < content.size(); at += 516) ids.insert(content.substr(at, 8).c_str());
  EXPECT_EQ(ids.size(), 3u * kPerProcess);
  TGameRegister game_register(PluginFolder_.Path());
  EXPECT_EQ(game_register.GetPath("W2-24"), "/games/w2-24/");
}

}  // namespace
}  // namespace qel
