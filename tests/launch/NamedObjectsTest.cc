#include <gtest/gtest.h>

#include <future>
#include <string>
#include <thread>

#include "ObjectFolderFixture.h"
#include "launch/ObjectNames.h"
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

TEST_F(NamedObjectsTest, TheOwningThreadReentersAndMustReleaseAsOften) {
  TNamedMutex mutex("m");
  ASSERT_TRUE(mutex.Wait(0));
  ASSERT_TRUE(mutex.Wait(kNamedMutexWaitMs));
  EXPECT_FALSE(OnOtherThread([&] { return mutex.Wait(kNamedMutexWaitMs); }));
  mutex.Release();
  EXPECT_FALSE(OnOtherThread([&] { return mutex.Wait(0); }));
  mutex.Release();
  EXPECT_TRUE(OnOtherThread([&] {
    const bool owned = mutex.Wait(0);
    if (owned) mutex.Release();
    return owned;
  }));
  EXPECT_THROW(mutex.Release(), EQelError);
}

TEST_F(NamedObjectsTest, OwnershipIsTheThreadsAcrossHandlesOfOneName) {
  TNamedMutex first("shared");
  TNamedMutex second("shared");
  ASSERT_TRUE(first.Wait(0));
  EXPECT_TRUE(second.Wait(0));
  EXPECT_FALSE(OnOtherThread([] { return TNamedMutex("shared").Wait(kNamedMutexWaitMs); }));
  second.Release();
  // Another thread cannot give up what it does not own.
  EXPECT_TRUE(OnOtherThread([&] {
    try {
      second.Release();
      return false;
    } catch (const EQelError&) {
      return true;
    }
  }));
  first.Release();
  EXPECT_TRUE(OnOtherThread([] {
    TNamedMutex mine("shared");
    return mine.Wait(0);
  }));
}

TEST_F(NamedObjectsTest, AWaitingThreadGetsTheMutexOnceItIsReleased) {
  TNamedMutex mutex("handover");
  ASSERT_TRUE(mutex.Wait(0));
  std::promise<void> waiting;
  auto taken = std::async(std::launch::async, [&] {
    TNamedMutex mine("handover");
    waiting.set_value();
    const bool owned = mine.Wait(60000);
    if (owned) mine.Release();
    return owned;
  });
  waiting.get_future().wait();
  mutex.Release();
  EXPECT_TRUE(taken.get());
}

TEST_F(NamedObjectsTest, TheLastHandleFreesAMutexStillOwned) {
  {
    TNamedMutex mutex("dropped");
    ASSERT_TRUE(mutex.Wait(0));
  }
  EXPECT_TRUE(OnOtherThread([] { return TNamedMutex("dropped").Wait(0); }));
}

TEST_F(NamedObjectsTest, NamesAreCaseSensitive) {
  TNamedMutex upper(DownloadMutexName("GAME"));
  ASSERT_TRUE(upper.Wait(0));
  EXPECT_TRUE(OnOtherThread([] { return TNamedMutex(DownloadMutexName("game")).Wait(0); }));
  EXPECT_FALSE(OnOtherThread([] { return TNamedMutex(DownloadMutexName("GAME")).Wait(0); }));
  upper.Release();
}

TEST_F(NamedObjectsTest, SemaphoreUnitsAreSharedByHandlesAndFreedWithTheirHandle) {
  TNamedSemaphore first(RunSemaphoreName("g"), kRunSemaphoreUnits);
  for (int i = 0; i < kRunSemaphoreUnits; ++i) ASSERT_TRUE(first.TryAcquire()) << i;
  EXPECT_FALSE(first.TryAcquire());
  EXPECT_EQ(first.Held(), 8);

  auto second = std::make_unique<TNamedSemaphore>(RunSemaphoreName("g"), kRunSemaphoreUnits);
  EXPECT_FALSE(second->TryAcquire());
  first.Release(3);
  EXPECT_EQ(first.Held(), 5);
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(second->TryAcquire()) << i;
  EXPECT_FALSE(second->TryAcquire());
  EXPECT_FALSE(first.TryAcquire());

  // A handle gives back only what it took.
  EXPECT_THROW(second->Release(4), EQelError);
  EXPECT_THROW(second->Release(-1), EQelError);
  EXPECT_EQ(second->Held(), 3);
  second.reset();
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(first.TryAcquire()) << i;
  EXPECT_FALSE(first.TryAcquire());
  // Units belong to no thread.
  EXPECT_NO_THROW(OnOtherThread([&] { first.Release(8); }));
  EXPECT_EQ(first.Held(), 0);
  EXPECT_TRUE(TNamedSemaphore(RunSemaphoreName("g"), kRunSemaphoreUnits).TryAcquire());
}

TEST_F(NamedObjectsTest, ASemaphoreNeedsOneTo4096Units) {
  EXPECT_THROW(TNamedSemaphore("s", 0), EQelError);
  EXPECT_THROW(TNamedSemaphore("s", 4097), EQelError);
}

TEST(ObjectNamesTest, NamesAreTheFixedPrefixTheRoleAndTheIdentifierAsGiven) {
  EXPECT_EQ(DownloadMutexName("{Game-1}"), "49234416-A8CA-40F0-BA91-2409DE61E563_download_{Game-1}");
  EXPECT_EQ(RunSemaphoreName("{Game-1}"), "49234416-A8CA-40F0-BA91-2409DE61E563_run_{Game-1}");
  EXPECT_EQ(RegisterMutexName(), "49234416-A8CA-40F0-BA91-2409DE61E563_register_");
}

}  // namespace
}  // namespace qel
