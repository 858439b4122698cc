#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "FakeBrowser.h"
#include "RecordingInstanceTest.h"
#include "RecordingPlugin.h"
#include "host/URLStream.h"

namespace qel::test {
namespace {

using Calls = std::vector<std::string>;

class URLStreams : public RecordingInstanceTest {
 protected:
  void SetUp() override {
    RecordingInstanceTest::SetUp();
    stream.url = "http://127.0.0.1/pack.dat";
    stream.end = 1000;
  }
  void TearDown() override { Done(); }
  // Offers `stream` to the instance in the given mode.
  TURLStream* Offer(TStreamMode mode) {
    Recording().StreamMode = mode;
    uint16_t type = 0;
    char mime[] = "application/octet-stream";
    EXPECT_EQ(Funcs().newstream(instance->Npp(), mime, &stream, true, &type), NPERR_NO_ERROR);
    Recording().Calls.clear();
    return static_cast<TURLStream*>(stream.pdata);
  }
  int32_t Write(int32_t offset, int32_t length) {
    std::vector<char> bytes(length, 'x');
    return Funcs().write(instance->Npp(), &stream, offset, length, bytes.data());
  }
  const NPPluginFuncs& Funcs() { return browser.PluginFuncs(); }

  NPStream stream{};
};

TEST_F(URLStreams, MemoryStreamsTakeOnlyAppendsInOrder) {
  TURLStream* owner = Offer(smMemory);
  ASSERT_NE(owner, nullptr);
  EXPECT_EQ(Write(0, 100), 100);
  EXPECT_EQ(Write(100, 150), 150);
  EXPECT_EQ(Write(250, 10), 10);
  EXPECT_EQ(Write(300, 5), -1);
  EXPECT_EQ(Write(260, 0), 0);  // no progress for nothing
  EXPECT_EQ(Recording().Calls, (Calls{"Progress 100/1000", "Progress 250/1000", "Progress 260/1000"}));
  ASSERT_TRUE(owner->CopyData().has_value());
  EXPECT_EQ(owner->CopyData()->size(), 260u);
  EXPECT_EQ(owner->Url(), "http://127.0.0.1/pack.dat");
  EXPECT_EQ(Funcs().destroystream(instance->Npp(), &stream, NPRES_DONE), NPERR_NO_ERROR);
  // Finished, but the data and the address stay for whoever reads them.
  EXPECT_EQ(owner->CopyData()->size(), 260u);
  EXPECT_EQ(owner->Url(), "http://127.0.0.1/pack.dat");
  EXPECT_EQ(Funcs().destroystream(instance->Npp(), &stream, NPRES_DONE), NPERR_GENERIC_ERROR);
}

TEST_F(URLStreams, StreamsOfTwoGigabytesAreRefused) {
  Offer(smMemory);
  stream.end = 0x80000000u;
  EXPECT_EQ(Write(0, 10), -1);
  EXPECT_EQ(Recording().Calls, Calls{});
}

TEST_F(URLStreams, FileStreamsDeliverTheBrowsersFile) {
  TURLStream* owner = Offer(smFile);
  EXPECT_EQ(Write(0, 10), -1);
  EXPECT_FALSE(owner->CopyData().has_value());  // no file yet

  std::string path = testing::TempDir() + "qel-stream-file";
  std::ofstream(path, std::ios::binary) << "pack bytes";
  Funcs().asfile(instance->Npp(), &stream, path.c_str());
  EXPECT_EQ(Recording().Calls, Calls{});  // the end comes with NPP_DestroyStream
  EXPECT_EQ(Funcs().destroystream(instance->Npp(), &stream, NPRES_DONE), NPERR_NO_ERROR);
  EXPECT_EQ(Recording().Calls, (Calls{"Done 0"}));
  std::optional<std::vector<uint8_t>> data = owner->CopyData();
  ASSERT_TRUE(data.has_value());
  EXPECT_EQ(std::string(data->begin(), data->end()), "pack bytes");
  std::remove(path.c_str());
}

TEST_F(URLStreams, AFileThatCannotBeOpenedLeavesNoData) {
  TURLStream* owner = Offer(smFile);
  Funcs().asfile(instance->Npp(), &stream, "/nonexistent/qel/file");
  EXPECT_EQ(Funcs().destroystream(instance->Npp(), &stream, NPRES_NETWORK_ERR), NPERR_NO_ERROR);
  EXPECT_EQ(Recording().Calls, (Calls{"Done 1"}));
  EXPECT_FALSE(owner->CopyData().has_value());
}

TEST_F(URLStreams, DestroyingAnAttachedStreamEndsItOnceOnBothSides) {
  int done = 0;
  NPReason reason = -1;
  int reentered = 0;
  browser.Answers().SetStreamEnder([&](NPP npp, NPStream* s, NPReason r) {
    ++reentered;
    // The browser answers at once; the stream is already detached by then.
    EXPECT_EQ(Funcs().destroystream(npp, s, r), NPERR_GENERIC_ERROR);
  });
  {
    TURLStream owner;
    owner.OnDone = [&](TURLStream&, NPReason r) {
      ++done;
      reason = r;
    };
    owner.Attach(&stream, instance->Npp(), smMemory);
    browser.ClearCalls();
  }
  EXPECT_EQ(done, 1);
  EXPECT_EQ(reason, NPRES_USER_BREAK);
  EXPECT_EQ(reentered, 1);
  int destroy_calls = 0;
  for (const std::string& call : browser.Calls()) destroy_calls += call.rfind("DestroyStream", 0) == 0;
  EXPECT_EQ(destroy_calls, 1);
  EXPECT_EQ(stream.pdata, nullptr);
}

TEST_F(URLStreams, CancelAsksTheBrowserAndWaitsForItsAnswer) {
  TURLStream* owner = Offer(smMemory);
  owner->Cancel();
  EXPECT_TRUE(owner->Attached());
  EXPECT_EQ(Recording().Calls, Calls{});
  EXPECT_EQ(Funcs().destroystream(instance->Npp(), &stream, NPRES_USER_BREAK), NPERR_NO_ERROR);
  EXPECT_EQ(Recording().Calls, (Calls{"Done 2"}));
}

}  // namespace
}  // namespace qel::test
