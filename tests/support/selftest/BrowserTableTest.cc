// The table handed to the plug-in, and the services it records and answers.
#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "FakeBrowser.h"
#include "MiniInstanceTest.h"
#include "MiniPlugin.h"

namespace qel::test {
namespace {

using Lines = std::vector<std::string>;

TEST(BrowserTableTest, EveryEntryIsFilledAndTheVersionIs27) {
  FakeBrowser browser{PluginEntry{}};
  const NPNetscapeFuncs& table = browser.BrowserFuncs();
  EXPECT_EQ(table.size, sizeof(NPNetscapeFuncs));
  EXPECT_EQ(table.version, 27);

  using Entry = void (*)();
  const auto* first = reinterpret_cast<const char*>(&table.geturl);
  const auto* end = reinterpret_cast<const char*>(&table) + sizeof table;
  for (const char* slot = first; slot < end; slot += sizeof(Entry)) {
    Entry entry = nullptr;
    std::memcpy(&entry, slot, sizeof entry);
    EXPECT_NE(entry, nullptr) << "entry at offset "
                              << (slot - reinterpret_cast<const char*>(&table));
  }
}

class ServiceTest : public MiniInstanceTest {
 protected:
  void SetUp() override {
    MiniInstanceTest::SetUp();
    if (HasFatalFailure()) return;
    browser.ClearCalls();
  }
};

TEST_F(ServiceTest, CallsAreRecordedAndAnsweredAsConfigured) {
  NPP npp = instance->Npp();
  EXPECT_EQ(npn.setvalue(npp, NPPVpluginWindowBool, nullptr), NPERR_NO_ERROR);
  EXPECT_EQ(npn.setvalue(npp, NPPVpluginKeepLibraryInMemory, reinterpret_cast<void*>(1)),
            NPERR_NO_ERROR);
  EXPECT_EQ(browser.LastSetValue(NPPVpluginWindowBool), 0);
  EXPECT_EQ(browser.LastSetValue(NPPVpluginKeepLibraryInMemory), 1);
  EXPECT_EQ(browser.LastSetValue(NPPVpluginTransparentBool), std::nullopt);

  browser.Answers().FailCall("GetURLNotify", NPERR_INVALID_URL);
  EXPECT_EQ(npn.geturlnotify(npp, "http://127.0.0.1/setup.exe", nullptr, nullptr),
            NPERR_INVALID_URL);
  EXPECT_EQ(npn.geturl(npp, "http://127.0.0.1/", "_blank"), NPERR_NO_ERROR);
  EXPECT_STREQ(npn.uagent(npp), FakeBrowser::kUserAgent);
  npn.status(npp, "Downloading");

  EXPECT_EQ(
      browser.Calls(),
      (Lines{"SetValue 3 0", "SetValue 13 1", "GetURLNotify http://127.0.0.1/setup.exe (null)",
             "GetURL http://127.0.0.1/ _blank", "UserAgent", "Status Downloading"}));
  EXPECT_EQ(browser.InstanceErrors(), 0);

  instance->Destroy();
  npn.status(npp, "late");
  EXPECT_EQ(browser.InstanceErrors(), 1);
}

void NoteThread(void* data) { *static_cast<std::thread::id*>(data) = std::this_thread::get_id(); }

TEST_F(ServiceTest, AsyncCallsRunOnTheMainThreadAndOtherCallsFromWorkersAreFaults) {
  NPP npp = instance->Npp();
  std::thread::id ranOn;
  std::thread worker([&] {
    npn.pluginthreadasynccall(npp, NoteThread, &ranOn);
    npn.status(npp, "from a worker");
  });
  EXPECT_TRUE(browser.WaitForAsyncCall(std::chrono::seconds(10)));
  worker.join();
  EXPECT_EQ(browser.ThreadErrors(), 1);

  EXPECT_EQ(browser.RunPendingAsyncCalls(), 1u);
  EXPECT_EQ(ranOn, std::this_thread::get_id());

  // A browser drops calls for an instance that is gone.
  std::thread::id never;
  npn.pluginthreadasynccall(npp, NoteThread, &never);
  instance->Destroy();
  EXPECT_EQ(browser.RunPendingAsyncCalls(), 0u);
  EXPECT_EQ(never, std::thread::id());
}

}  // namespace
}  // namespace qel::test
