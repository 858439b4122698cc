// The extraction thread on signed packs: signature and header checks that
// write nothing, the game match, and stop requests.
#include "pack/ExtractThread.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "PackTestKit.h"
#include "platform/RsaVerify.h"

namespace qel::test {
namespace {

constexpr int kWaitMs = 20000;

// The thread starts inside its constructor, so a hook may run before the
// test holds the object: it waits for it.
TExtractThread& Await(const std::atomic<TExtractThread*>& self) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
  while (self == nullptr && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
  return *self.load();
}

class ExtractThreadTest : public testing::Test {
 protected:
  ExtractThreadTest() {
    Body_ = TwoFilesInAFolder();
  }

  // Runs to the end; Succeeded.
  bool Extract(const std::vector<uint8_t>& pack, const std::string& guid = "{Game}",
               TExtractOptions options = {}) {
    TExtractThread thread((Temp_ / "dest/"), pack, guid, std::move(options));
    EXPECT_TRUE(thread.WaitFor(kWaitMs));
    Failure_ = thread.Failure();
    return thread.Finished() && thread.Succeeded();
  }
  bool NothingWritten() const { return !fs::exists((Temp_ / "dest/")); }

  TTestKey Key_;
  TTempFolder Temp_;
  std::vector<uint8_t> Body_;
  TPackFailure Failure_;
};

TEST_F(ExtractThreadTest, ValidPackIsUnpackedAndGameMatchIgnoresLetterCase) {
  EXPECT_TRUE(Extract(SignedPack(Body_, "{AbC-Game}"), "{aBc-gAME}"));
  EXPECT_EQ(ReadText((Temp_ / "dest/") + "data/one"), "first");
  EXPECT_EQ(ReadText((Temp_ / "dest/") + "data/two"), TextBytes(4000));
}

TEST_F(ExtractThreadTest, PackForAnotherGameWritesNothing) {
  EXPECT_FALSE(Extract(SignedPack(Body_, "{Game}"), "{Game2}"));
  EXPECT_EQ(std::make_pair(Failure_.Kind, Failure_.Detail),
            std::make_pair(pfWrongGame, std::string("{Game}")));
  EXPECT_TRUE(NothingWritten());
}

TEST_F(ExtractThreadTest, DamagedSignatureOrFrameWritesNothing) {
  std::vector<uint8_t> pack = SignedPack(Body_);
  pack[pack.size() - 1] ^= 1;
  EXPECT_FALSE(Extract(pack));
  pack = SignedPack(Body_);
  pack[kPackFrameSize + kPackHeaderSize + 40] ^= 1;
  EXPECT_FALSE(Extract(pack));
  pack = SignedPack(Body_);
  pack.push_back(0);
  EXPECT_FALSE(Extract(pack));
  EXPECT_FALSE(Extract(std::vector<uint8_t>(pack.begin(), pack.begin() + 7)));
  EXPECT_TRUE(NothingWritten());
}

TEST_F(ExtractThreadTest, SignedPackWithAnInconsistentHeaderWritesNothing) {
  const std::vector<void (*)(TPackHeader&)> damages = {
      [](TPackHeader& h) { h.HeaderSize = 151; },
      [](TPackHeader& h) { h.FormatVersion = 3; },
      [](TPackHeader& h) { h.BodyLength -= 1; },
      [](TPackHeader& h) { h.SignedLength += 1; },
      [](TPackHeader& h) {
        h.SignedLength = -1;
        h.BodyLength = -153;
      },
  };
  for (const auto& damage : damages) {
    std::vector<uint8_t> pack = SignedPack(Body_);
    damage(HeaderOf(pack));
    Resign(pack);
    EXPECT_FALSE(Extract(pack));
  }
  EXPECT_TRUE(NothingWritten());
}

TEST_F(ExtractThreadTest, StopDuringTheSignatureCheckWritesNothing) {
  std::atomic<TExtractThread*> self = nullptr;
  int steps = 0;
  TExtractOptions options;
  options.ChunkSize = 64;
  options.AfterStep = [&] {
    if (++steps == 1) Await(self).RequestStop();
  };
  const std::vector<uint8_t> pack = SignedPack(Body_);
  TExtractThread thread((Temp_ / "dest/"), pack, "{Game}", options);
  self = &thread;
  ASSERT_TRUE(thread.WaitFor(kWaitMs));
  EXPECT_FALSE(thread.Succeeded());
  EXPECT_EQ(thread.Failure().Kind, pfStopped);
  EXPECT_EQ(steps, 1);
  EXPECT_TRUE(NothingWritten());
}

TEST_F(ExtractThreadTest, StopBetweenBlocksKeepsWhatWasWritten) {
  const std::vector<uint8_t> pack = SignedPack(Body_);
  std::atomic<TExtractThread*> self = nullptr;
  int steps = 0;
  TExtractOptions options;
  options.AfterStep = [&] {
    // One step of the check (8 MiB chunks), then the first block.
    if (++steps == 2) Await(self).RequestStop();
  };
  TExtractThread thread((Temp_ / "dest/"), pack, "{Game}", options);
  self = &thread;
  ASSERT_TRUE(thread.WaitFor(kWaitMs));
  EXPECT_FALSE(thread.Succeeded());
  EXPECT_EQ(thread.Failure().Kind, pfStopped);
  EXPECT_EQ(ReadText((Temp_ / "dest/") + "data/one"), "first");
  EXPECT_FALSE(fs::exists((Temp_ / "dest/") + "data/two"));
}

TEST_F(ExtractThreadTest, DestroyingARunningThreadStopsItAndWaits) {
  const std::vector<uint8_t> pack = SignedPack(Body_);
  std::atomic<TExtractThread*> self = nullptr;
  std::atomic<bool> inside_step = false;
  std::atomic<bool> saw_stop = false;
  TExtractOptions options;
  // Holds the thread inside its first step until the destructor asks it to stop.
  options.AfterStep = [&] {
    inside_step = true;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
    while (!Await(self).StopRequested() && std::chrono::steady_clock::now() < deadline)
      std::this_thread::yield();
    saw_stop = Await(self).StopRequested();
  };
  {
    TExtractThread thread((Temp_ / "dest/"), pack, "{Game}", options);
    self = &thread;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
    while (!inside_step && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
    ASSERT_TRUE(inside_step);
  }
  EXPECT_TRUE(saw_stop);
  EXPECT_TRUE(NothingWritten());
}

// The digest handed in stands for hashing the signed region: the check takes
// one step instead of one per chunk, and a wrong digest fails as an invalid
// signature before anything is written.
TEST_F(ExtractThreadTest, SignedDigestIsCheckedInsteadOfHashingTheRegion) {
  const std::vector<uint8_t> pack = SignedPack(Body_);
  TPackFrame frame;
  std::memcpy(&frame, pack.data(), sizeof frame);
  TSha1Hash hash;
  hash.Add(std::span(pack).subspan(kPackFrameSize, frame.SignedLength));
  const TSha1Digest digest = hash.Finish();

  int steps = 0;
  TExtractOptions options;
  options.ChunkSize = 64;
  options.SignedDigest = digest;
  options.AfterStep = [&] { ++steps; };
  EXPECT_TRUE(Extract(pack, "{Game}", options));
  // One step for the signature, then one per block: no 64-byte chunks.
  EXPECT_EQ(steps, 3);
  EXPECT_EQ(ReadText((Temp_ / "dest/") + "data/two"), TextBytes(4000));

  fs::remove_all(Temp_ / "dest");
  TSha1Digest wrong = digest;
  wrong[7] ^= 1;
  options.SignedDigest = wrong;
  EXPECT_FALSE(Extract(pack, "{Game}", options));
  EXPECT_EQ(Failure_.Kind, pfSignatureInvalid);
  EXPECT_TRUE(NothingWritten());
}

TEST_F(ExtractThreadTest, FileThatCannotBeWrittenEndsTheRunFailed) {
  // Longer than the file system's names: fails for any user.
  const std::string overlong(256, 'n');
  TBodyBuilder b;
  b.File(overlong, "abc");
  b.Stored(1, "abc");
  EXPECT_FALSE(Extract(SignedPack(b.Body())));
  EXPECT_EQ(std::make_pair(Failure_.Kind, Failure_.Path),
            std::make_pair(pfCannotWriteFile, (Temp_ / "dest/") + overlong));
}

}  // namespace
}  // namespace qel::test
