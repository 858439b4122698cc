// Blocks inflated on worker threads and written by one writer: the tree
// comes out exact whatever the mix of blocks, a damaged block is reported
// where it is even when later blocks inflated first, the blocks in flight
// stay bounded, and a stop ends the workers without waiting for the pack.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "PackTestKit.h"
#include "pack/DirectoryUnpacker.h"
#include "pack/ExtractThread.h"

namespace qel::test {
namespace {

using TTree = std::map<std::string, std::string>;

constexpr auto kPatience = std::chrono::seconds(20);

// Waits for a condition that another thread makes true; false after kPatience.
template <class TCondition>
bool AwaitThat(TCondition condition) {
  const auto deadline = std::chrono::steady_clock::now() + kPatience;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::yield();
  }
  return true;
}

// `count` multi-entry blocks of three files each, in folders of their own.
TBodyBuilder ManyBlocks(int count, TTree* tree = nullptr) {
  TBodyBuilder b;
  b.MaxBlockSize = 16384;
  for (int block = 0; block < count; ++block) {
    const std::string name = "b" + std::to_string(block);
    const int32_t folder = b.Folder(name);
    std::string data;
    for (int i = 0; i < 3; ++i) {
      const std::string content = TextBytes(1000 + 37 * block + i) + name;
      b.File("f" + std::to_string(i), content, folder);
      data += content;
      if (tree) (*tree)[name + "/f" + std::to_string(i)] = content;
    }
    if (tree) (*tree)[name] = "<folder>";
    b.Compressed(4, data);
  }
  return b;
}

class ParallelExtractionTest : public testing::Test {
 protected:
  TStepResult Unpack(const TBodyBuilder& b, TUnpackOptions options = {}) {
    Body_ = b.Body();
    TDirectoryUnpacker unpacker(Temp_ / "dest/", std::move(options));
    TStepResult result = unpacker.Open(Body_);
    while (result == srContinue) {
      result = unpacker.Step();
      ++Steps_;
    }
    Failure_ = unpacker.Failure();
    return result;
  }
  TTree Written() const { return ReadTree(Temp_ / "dest"); }

  TTempFolder Temp_;
  std::vector<uint8_t> Body_;
  std::atomic<int> Steps_ = 0;
  TPackFailure Failure_;
};

class WorkersTest : public ParallelExtractionTest, public testing::WithParamInterface<int> {};

TEST_P(WorkersTest, EveryMixOfBlocksComesOutExact) {
  // Many small multi-entry blocks between single-file blocks that fit the
  // buffer, single files streamed past it, stored blocks, empty files and
  // empty blocks.
  TTree expected;
  TBodyBuilder b = ManyBlocks(0);
  b.MaxBlockSize = 8192;
  for (int round = 0; round < 12; ++round) {
    const std::string tag = std::to_string(round);
    const int32_t folder = b.Folder("r" + tag);
    expected["r" + tag] = "<folder>";
    std::string data;
    for (int i = 0; i < 5; ++i) {
      const std::string content = i == 2 ? "" : TextBytes(300 * i + round) + tag;
      b.File("small" + std::to_string(i), content, folder);
      expected["r" + tag + "/small" + std::to_string(i)] = content;
      data += content;
    }
    b.Compressed(6, data);  // the folder and its five files
    const std::string fits = TextBytes(6000 + round) + tag;
    b.File("fits", fits, folder);
    b.Compressed(1, fits);
    const std::string streamed = TextBytes(50000 + 999 * round) + tag;
    b.File("streamed", streamed, folder);
    b.Compressed(1, streamed);
    const std::string noise = RandomBytes(700, static_cast<uint32_t>(round));
    b.File("noise", noise, folder);
    b.Stored(1, noise);
    b.Stored(0, "");
    expected["r" + tag + "/fits"] = fits;
    expected["r" + tag + "/streamed"] = streamed;
    expected["r" + tag + "/noise"] = noise;
  }
  TUnpackOptions options;
  options.Inflation.Workers = GetParam();
  ASSERT_EQ(Unpack(b, options), srDone) << int{Failure_.Kind} << " at block " << Failure_.Block;
  EXPECT_EQ(Written(), expected);
}

TEST_F(ParallelExtractionTest, DamagedBlockIsReportedWhereItIsAndNothingLaterIsWritten) {
  constexpr int kDamaged = 12;
  TTree expected;
  TBodyBuilder b = ManyBlocks(30, &expected);
  Body_ = b.Body();
  // Finds block kDamaged's data and spoils its deflate stream.
  TBodyHeader header;
  std::memcpy(&header, Body_.data(), sizeof header);
  size_t offset = sizeof header + static_cast<size_t>(header.DirectoryPackedSize);
  for (int block = 0; block < kDamaged; ++block) {
    TBlockHeader block_header;
    std::memcpy(&block_header, Body_.data() + offset, sizeof block_header);
    offset += sizeof block_header + static_cast<size_t>(block_header.PackedSize);
  }
  TBlockHeader damaged;
  std::memcpy(&damaged, Body_.data() + offset, sizeof damaged);
  for (size_t i = 2; i < 12; ++i) Body_[offset + sizeof damaged + i] ^= 0x5a;

  // Block kDamaged's worker waits until a later block has been inflated:
  // the writer must still report kDamaged and write nothing after it.
  std::atomic<int> highest_begun = -1;
  TUnpackOptions options;
  options.Inflation.Workers = 2;
  options.Inflation.BeforeInflating = [&](int32_t block) {
    int seen = highest_begun.load();
    while (block > seen && !highest_begun.compare_exchange_weak(seen, block)) {
    }
    // Workers take blocks in order: while one holds kDamaged, the other
    // begins kDamaged + 2 only once kDamaged + 1 is inflated.
    if (block == kDamaged) AwaitThat([&] { return highest_begun >= kDamaged + 2; });
  };
  TDirectoryUnpacker unpacker(Temp_ / "dest/", options);
  TStepResult result = unpacker.Open(Body_);
  while (result == srContinue) result = unpacker.Step();
  EXPECT_EQ(result, srFailed);
  EXPECT_GE(highest_begun, kDamaged + 2);
  EXPECT_EQ(unpacker.Failure().Kind, pfBlockDataDamaged);
  EXPECT_EQ(unpacker.Failure().Block, kDamaged);
  EXPECT_EQ(unpacker.Failure().Expected, damaged.UnpackedSize);

  // Blocks before it are complete; of it and after it, nothing is there.
  for (auto it = expected.begin(); it != expected.end();) {
    const int block = std::stoi(it->first.substr(1));
    it = block >= kDamaged ? expected.erase(it) : std::next(it);
  }
  EXPECT_EQ(Written(), expected);
}

TEST_P(WorkersTest, BlocksInFlightStayWithinTwiceTheWorkers) {
  // A worker may begin a block only while at most twice as many blocks as
  // there are workers are handed in and not yet written.
  const int workers = GetParam();
  std::atomic<int> furthest_ahead = 0;
  TUnpackOptions options;
  options.Inflation.Workers = workers;
  options.Inflation.BeforeInflating = [&](int32_t block) {
    const int ahead = block - Steps_;
    int seen = furthest_ahead.load();
    while (ahead > seen && !furthest_ahead.compare_exchange_weak(seen, ahead)) {
    }
  };
  ASSERT_EQ(Unpack(ManyBlocks(60), options), srDone);
  EXPECT_LT(furthest_ahead, 2 * workers);
}

INSTANTIATE_TEST_SUITE_P(Workers, WorkersTest, testing::Values(1, 2, 4),
                         [](const testing::TestParamInfo<int>& info) {
                           return std::to_string(info.param) + "_workers";
                         });

// Stops while a worker is held inside a block: the run ends failed at the
// next block, every worker has ended before Finished is seen, and most of
// the pack was never inflated.
class StopDuringInflationTest : public testing::Test {
 protected:
  static constexpr int kHeldBlock = 3;
  static constexpr int kBlocks = 80;

  StopDuringInflationTest() : Pack_(SignedPack(ManyBlocks(kBlocks).Body())) {
    Options_.FlushWritten = false;
    Options_.Inflation.Workers = 2;
    Options_.Inflation.LiveWorkers = &Live_;
    Options_.Inflation.BeforeInflating = [this](int32_t block) {
      Inflated_.fetch_add(1);
      if (block < kHeldBlock) return;
      Held_ = true;
      AwaitThat([this] { return Thread_.load() && Thread_.load()->StopRequested(); });
    };
  }

  TTestKey Key_;
  TTempFolder Temp_;
  std::vector<uint8_t> Pack_;
  TExtractOptions Options_;
  std::atomic<int> Live_ = 0;
  std::atomic<int> Inflated_ = 0;
  std::atomic<bool> Held_ = false;
  std::atomic<TExtractThread*> Thread_ = nullptr;
};

TEST_F(StopDuringInflationTest, StopRequestEndsTheRunAndItsWorkers) {
  TExtractThread thread(Temp_ / "dest/", Pack_, "{Game}", Options_);
  Thread_ = &thread;
  ASSERT_TRUE(AwaitThat([this] { return Held_ && Live_ == 2; }));
  thread.RequestStop();
  ASSERT_TRUE(thread.WaitFor(20000));
  EXPECT_EQ(Live_, 0);
  EXPECT_FALSE(thread.Succeeded());
  EXPECT_EQ(thread.Failure().Kind, pfStopped);
  EXPECT_LT(Inflated_, kBlocks / 2);
  EXPECT_FALSE(fs::exists(Temp_ / ("dest/b" + std::to_string(kBlocks - 1))));
}

TEST_F(StopDuringInflationTest, DestroyingTheThreadMidBlockEndsItsWorkers) {
  {
    TExtractThread thread(Temp_ / "dest/", Pack_, "{Game}", Options_);
    Thread_ = &thread;
    ASSERT_TRUE(AwaitThat([this] { return Held_ && Live_ == 2; }));
  }
  EXPECT_EQ(Live_, 0);
  EXPECT_LT(Inflated_, kBlocks / 2);
}

}  // namespace
}  // namespace qel::test
