// Named mutexes and semaphores as Windows kernel objects: shared by name
// with programs that use the kernel's calls themselves (other instances of
// the plug-in), abandoned mutexes obtained, units given back by handles.
#include <windows.h>

#include <gtest/gtest.h>

#include <future>
#include <memory>
#include <string>
#include <thread>

#include "TempFolder.h"
#include "platform/Error.h"
#include "platform/NamedMutex.h"
#include "platform/NamedObjectFolder.h"
#include "platform/NamedSemaphore.h"
#include "platform/win32/OwnedHandle.h"

namespace qel {
namespace {

// A name no other run of the tests uses at the same time.
std::string UniqueName(const std::string& role) {
  return "qel-files-test-" + role + "-" + std::to_string(::GetCurrentProcessId());
}

// Takes the kernel mutex with the kernel's own calls on a thread that then
// ends without releasing it, as another instance's thread may.
// The mutex must be kept by another handle, or it goes with this one.
void AbandonOnAThreadOfItsOwn(const std::string& name) {
  TOwnedHandle mutex;
  std::thread([&] {
    mutex = TOwnedHandle(::CreateMutexA(nullptr, FALSE, name.c_str()));
    ASSERT_EQ(::WaitForSingleObject(mutex.Get(), 0), static_cast<DWORD>(WAIT_OBJECT_0));
  }).join();
  // Closing the handle elsewhere leaves the ownership to the ended thread.
}

// WAIT_OBJECT_0, WAIT_TIMEOUT or WAIT_ABANDONED for a raw waiter on another thread.
DWORD RawWait(const std::string& name, bool release_after) {
  return std::async(std::launch::async, [&] {
           const TOwnedHandle mutex(::CreateMutexA(nullptr, FALSE, name.c_str()));
           const DWORD waited = ::WaitForSingleObject(mutex.Get(), 0);
           if (waited != WAIT_TIMEOUT && release_after) ::ReleaseMutex(mutex.Get());
           return waited;
         })
      .get();
}

// The free units of a kernel semaphore, read by giving one back and taking it again.
LONG FreeUnits(const std::string& name) {
  const TOwnedHandle semaphore(::OpenSemaphoreA(SEMAPHORE_ALL_ACCESS, FALSE, name.c_str()));
  LONG before = -1;
  if (::WaitForSingleObject(semaphore.Get(), 0) != WAIT_OBJECT_0) return 0;
  ::ReleaseSemaphore(semaphore.Get(), 1, &before);
  return before + 1;
}

TEST(NamedMutexWin32Test, SharesTheKernelMutexOfTheExactNameWithOtherPrograms) {
  const std::string name = UniqueName("exact");
  TNamedMutex mutex(name);
  ASSERT_TRUE(mutex.Wait(0));
  EXPECT_EQ(RawWait(name, true), static_cast<DWORD>(WAIT_TIMEOUT));
  mutex.Release();
  EXPECT_EQ(RawWait(name, true), static_cast<DWORD>(WAIT_OBJECT_0));

  const TOwnedHandle theirs(::CreateMutexA(nullptr, TRUE, (name + "-held").c_str()));
  EXPECT_FALSE(std::async(std::launch::async, [&] { return TNamedMutex(name + "-held").Wait(20); }).get());
  ::ReleaseMutex(theirs.Get());
}

TEST(NamedMutexWin32Test, AMutexLeftByAThreadThatEndedIsObtained) {
  const std::string name = UniqueName("abandoned");
  TNamedMutex mutex(name);
  AbandonOnAThreadOfItsOwn(name);
  ASSERT_TRUE(mutex.Wait(0));
  // Obtained properly: held until released, then free for the next one.
  EXPECT_EQ(RawWait(name, true), static_cast<DWORD>(WAIT_TIMEOUT));
  mutex.Release();
  EXPECT_EQ(RawWait(name, true), static_cast<DWORD>(WAIT_OBJECT_0));
}

TEST(NamedMutexWin32Test, TheLastHandleReleasesTheMutexOnWhicheverThreadItGoes) {
  const std::string name = UniqueName("handover");
  auto handle = std::make_unique<TNamedMutex>(name);
  // Owned by a thread that has ended since: its ownership stays the
  // process's until the last handle goes.
  ASSERT_TRUE(std::async(std::launch::async, [&] { return handle->Wait(0); }).get());
  EXPECT_FALSE(std::async(std::launch::async, [&] { return TNamedMutex(name).Wait(0); }).get());
  EXPECT_EQ(RawWait(name, true), static_cast<DWORD>(WAIT_TIMEOUT));
  handle.reset();
  // Released, not abandoned.
  EXPECT_EQ(RawWait(name, true), static_cast<DWORD>(WAIT_OBJECT_0));
}

TEST(NamedMutexWin32Test, NamesTheKernelCannotHoldOrThatNameASemaphoreAreRefused) {
  EXPECT_THROW(TNamedMutex(""), EQelError);
  EXPECT_THROW(TNamedMutex(std::string("a\0b", 3)), EQelError);
  EXPECT_THROW(TNamedSemaphore("", 1), EQelError);
  EXPECT_THROW(TNamedMutex("no\\such\\namespace"), EQelError);
  const std::string name = UniqueName("both");
  TNamedMutex mutex(name);
  EXPECT_THROW(TNamedSemaphore(name, 1), EQelError);
}

TEST(NamedSemaphoreWin32Test, UnitsAreTheKernelSemaphoresCountAndGoBackWithTheirHandle) {
  const std::string name = UniqueName("units");
  auto first = std::make_unique<TNamedSemaphore>(name, 8);
  TNamedSemaphore second(name, 8);
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(first->TryAcquire());
  ASSERT_TRUE(second.TryAcquire());
  EXPECT_EQ(FreeUnits(name), 4);
  first->Release(1);
  EXPECT_EQ(FreeUnits(name), 5);
  first.reset();
  EXPECT_EQ(FreeUnits(name), 7);
  EXPECT_EQ(second.Held(), 1);
  EXPECT_EQ(second.Units(), 8);
}

// Cross-process: the helper program, run in the same test scope.
class NamedObjectsCrossProcessTest : public testing::Test {
 protected:
  NamedObjectsCrossProcessTest() { SetNamedObjectFolderForTesting(Scope_.Path()); }
  ~NamedObjectsCrossProcessTest() override { SetNamedObjectFolderForTesting(""); }

  // The helper's exit code, or -1 when it could not be run.
  int RunHelper(const std::string& arguments) {
    char own[MAX_PATH];
    const DWORD length = ::GetModuleFileNameA(nullptr, own, MAX_PATH);
    std::string program(own, length);
    program = program.substr(0, program.find_last_of("\\/") + 1) + QEL_FILES_HELPER;
    std::string command = "\"" + program + "\" \"" + Scope_.Path() + "\" " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessA(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &process))
      return -1;
    const TOwnedHandle thread(process.hThread);
    const TOwnedHandle child(process.hProcess);
    if (::WaitForSingleObject(child.Get(), 60000) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    ::GetExitCodeProcess(child.Get(), &code);
    return static_cast<int>(code);
  }

  test::TTempFolder Scope_;
};

TEST_F(NamedObjectsCrossProcessTest, AMutexOfAProcessThatDiedIsObtained) {
  // Ours keeps the mutex in being when the helper's handle goes.
  TNamedMutex mutex("died");
  ASSERT_EQ(RunHelper("mutex died"), 0);
  EXPECT_TRUE(mutex.Wait(0));
  // Held by us now: the helper of the same scope cannot take it.
  EXPECT_EQ(RunHelper("try-mutex died"), 1);
  mutex.Release();
  EXPECT_EQ(RunHelper("try-mutex died"), 0);
}

TEST_F(NamedObjectsCrossProcessTest, TheScopeKeepsTestObjectsApartFromRealOnes) {
  TNamedMutex scoped("scoped");
  ASSERT_TRUE(scoped.Wait(0));
  SetNamedObjectFolderForTesting("");
  EXPECT_TRUE(std::async(std::launch::async, [] {
                TNamedMutex real("scoped");
                const bool taken = real.Wait(0);
                if (taken) real.Release();
                return taken;
              }).get());
  SetNamedObjectFolderForTesting(Scope_.Path());
  EXPECT_EQ(RunHelper("try-mutex scoped"), 1);
  scoped.Release();
}

// Windows does not give back the units of a process that died: they stay
// taken until every process using the name has closed it.
TEST_F(NamedObjectsCrossProcessTest, UnitsOfAProcessThatDiedStayTakenOnWindows) {
  TNamedSemaphore semaphore("run", 4);
  ASSERT_EQ(RunHelper("units run 4 3"), 0);
  EXPECT_TRUE(semaphore.TryAcquire());
  EXPECT_FALSE(semaphore.TryAcquire());
}

}  // namespace
}  // namespace qel
