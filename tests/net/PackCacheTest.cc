// TPackCache: the bytes reach the file whole and in place through a ring
// much smaller than the pack, the signed region's digest is the pack's, the
// record follows the flushed bytes, and a kept cache holds every byte taken.
#include "net/PackCache.h"

#include <gtest/gtest.h>


#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

#include "FileSizeLimit.h"
#include "NetTestSupport.h"
#include "platform/HttpTransfer.h"
#include "platform/Loop.h"
#include "platform/RsaVerify.h"

namespace qel::test {
namespace {

constexpr uint32_t kSignatureBytes = 64;

// Pattern bytes behind a frame whose signed region ends kSignatureBytes
// before the end.
std::string FramedPack(size_t size, uint32_t seed) {
  std::string pack = PatternBytes(size, seed);
  const uint32_t frame[2] = {static_cast<uint32_t>(size - 8 - kSignatureBytes), kSignatureBytes};
  std::memcpy(pack.data(), frame, sizeof frame);
  return pack;
}

TSha1Digest SignedDigestOf(const std::string& pack) {
  TSha1Hash hash;
  hash.Add({reinterpret_cast<const uint8_t*>(pack.data()) + 8, pack.size() - 8 - kSignatureBytes});
  return hash.Finish();
}

struct TRecorded {
  std::mutex Lock;
  std::vector<int32_t> Sizes;
  std::vector<std::string> Validators;

  TPackCacheRecords Records() {
    return {.RecordSize =
                [this](int32_t size) {
                  const std::lock_guard lock(Lock);
                  Sizes.push_back(size);
                },
            .RecordValidator =
                [this](const std::string& tag) {
                  const std::lock_guard lock(Lock);
                  Validators.push_back(tag);
                }};
  }
};

// Hands `bytes` over in pieces of odd sizes, as a transfer would.
void AppendInPieces(TPackCache& cache, const std::string& bytes) {
  const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
  size_t at = 0;
  for (size_t piece = 1; at < bytes.size(); piece = piece * 7 % 20011 + 1) {
    const size_t count = std::min(piece, bytes.size() - at);
    ASSERT_TRUE(cache.Append(data + at, static_cast<int32_t>(count)));
    at += count;
  }
}

class PackCacheTest : public ::testing::Test {
 protected:
  std::unique_ptr<TPackCache> NewCache() {
    auto cache = std::make_unique<TPackCache>(TDataFile::Open(Path), Recorded.Records());
    cache->RingBytes = 4096;  // far smaller than any piece run: it wraps and fills
    cache->FlushBytes = 64 * 1024;
    return cache;
  }
  bool AwaitDone(TPackCache& cache) { return RunLoopUntil([&] { return cache.Done(); }, kPatienceMs); }

  TTempFolder Folder;
  const std::string Path = Folder.Path() + "cache.tmp";
  TRecorded Recorded;
};

TEST_F(PackCacheTest, AFreshPackPassesThroughASmallRingWholeHashedAndRecordedAfterItsBytes) {
  const std::string pack = FramedPack(300000, 3);
  // Longer leftovers of an earlier transfer are cut off at the end.
  WriteFileBytes(Path, std::string(400000, 'o'));
  auto cache = NewCache();
  ASSERT_TRUE(cache->Begin(0, static_cast<int32_t>(pack.size()), "\"v1\""));
  AppendInPieces(*cache, pack);
  EXPECT_FALSE(cache->Append(reinterpret_cast<const uint8_t*>("x"), 1));  // past the pack
  cache->Finish();
  ASSERT_TRUE(AwaitDone(*cache));
  ASSERT_TRUE(cache->Succeeded());
  EXPECT_TRUE(ReadFileBytes(Path) == pack);
  ASSERT_TRUE(cache->SignedDigest().has_value());
  EXPECT_EQ(*cache->SignedDigest(), SignedDigestOf(pack));
  // Old bytes given up first, then the validator, then growing sizes up to
  // the pack's: those between only as the background flusher gets to them.
  EXPECT_EQ(Recorded.Validators, std::vector<std::string>{"\"v1\""});
  ASSERT_GE(Recorded.Sizes.size(), 2u);
  EXPECT_EQ(Recorded.Sizes.front(), 0);
  EXPECT_TRUE(std::is_sorted(Recorded.Sizes.begin(), Recorded.Sizes.end()));
  EXPECT_EQ(Recorded.Sizes.back(), static_cast<int32_t>(pack.size()));
}

TEST_F(PackCacheTest, AResumedPackHashesItsKeptPrefixAndClaimsNothingAnew) {
  const std::string pack = FramedPack(200000, 4);
  WriteFileBytes(Path, pack.substr(0, 70001));
  auto cache = NewCache();
  EXPECT_FALSE(NewCache()->Begin(70002, static_cast<int32_t>(pack.size()), ""));  // more than the file holds
  ASSERT_TRUE(cache->Begin(70001, static_cast<int32_t>(pack.size()), ""));
  AppendInPieces(*cache, pack.substr(70001));
  cache->Finish();
  ASSERT_TRUE(AwaitDone(*cache));
  EXPECT_TRUE(ReadFileBytes(Path) == pack);
  ASSERT_TRUE(cache->SignedDigest().has_value());
  EXPECT_EQ(*cache->SignedDigest(), SignedDigestOf(pack));
  EXPECT_TRUE(Recorded.Validators.empty());
  ASSERT_FALSE(Recorded.Sizes.empty());
  EXPECT_GT(Recorded.Sizes.front(), 70001);
}

TEST_F(PackCacheTest, KeepWritesWhatTheRingStillHoldsBeforeItAnswers) {
  const std::string pack = FramedPack(100000, 5);
  auto cache = NewCache();
  cache->RingBytes = 1 << 20;  // room for all: Append never waits for the writer
  cache->FlushIntervalMs = 60000;
  cache->FlushBytes = 1 << 30;
  ASSERT_TRUE(cache->Begin(0, static_cast<int32_t>(pack.size()), ""));
  AppendInPieces(*cache, pack.substr(0, 60000));
  EXPECT_EQ(cache->Written(), 60000);
  EXPECT_EQ(cache->Keep(), 60000);
  EXPECT_TRUE(ReadFileBytes(Path).substr(0, 60000) == pack.substr(0, 60000));
  // Stopped: it takes nothing more.
  EXPECT_FALSE(cache->Append(reinterpret_cast<const uint8_t*>(pack.data()), 10));
}

TEST_F(PackCacheTest, ACacheThatCannotWriteHasRoomSoThatTheNextPieceIsRefusedAtOnce) {
  if (!TFileSizeLimit::Supported()) GTEST_SKIP() << "no per-process file size limit here to stand for a full disk";
  auto cache_file = TDataFile::Open(Path);
  const TFileSizeLimit full_disk(64 * 1024);
  TPackCache cache(std::move(cache_file), Recorded.Records());
  cache.RingBytes = 600 * 1024;
  const std::string pack = FramedPack(500 * 1024, 6);
  ASSERT_TRUE(cache.Begin(0, static_cast<int32_t>(pack.size()), ""));
  ASSERT_TRUE(cache.Append(reinterpret_cast<const uint8_t*>(pack.data()), 400 * 1024));
  ASSERT_TRUE(AwaitDone(cache));
  EXPECT_FALSE(cache.Succeeded());
  // A transfer that waits for room must not wait for ever.
  EXPECT_GE(cache.Room(), kMostBodyBytesPerEvent);
  EXPECT_FALSE(cache.Append(reinterpret_cast<const uint8_t*>(pack.data()), 1));
}

}  // namespace
}  // namespace qel::test
