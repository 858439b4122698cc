// The signature checker on framed packs signed by the test key.
#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

#include "PackTestKit.h"
#include "pack/HashChecker.h"
#include "platform/Resource.h"
#include "qelpack/PackBuilder.h"

namespace qel::test {
namespace {

class HashCheckerTest : public testing::Test {
 protected:
  // Region of `length` bytes, signed, framed.
  static std::vector<uint8_t> Pack(size_t length) {
    const std::string region = TextBytes(length);
    const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(region.data()),
                                         region.size());
    return pack_tool::FramePack(bytes, TTestKey::Signer().Sign(bytes));
  }
  // The final result, and how many steps it took.
  static std::pair<TStepResult, int> Check(const std::vector<uint8_t>& pack, uint32_t chunk) {
    return CheckWithCause(pack, chunk).first;
  }
  static std::pair<std::pair<TStepResult, int>, TPackFailure> CheckWithCause(
      const std::vector<uint8_t>& pack, uint32_t chunk) {
    THashChecker checker(chunk);
    TStepResult result = checker.Open(pack);
    if (result != srContinue) return {{result, 0}, checker.Failure()};
    int steps = 0;
    while (result == srContinue) {
      result = checker.Step();
      ++steps;
    }
    return {{result, steps}, checker.Failure()};
  }
  static TPackFailureKind Cause(const std::vector<uint8_t>& pack) {
    return CheckWithCause(pack, 64).second.Kind;
  }

  TTestKey Key_;
};

TEST_F(HashCheckerTest, ValidPackIsDoneAfterOneStepPerChunk) {
  EXPECT_EQ(Check(Pack(2500), 1000), std::make_pair(srDone, 3));
  EXPECT_EQ(Check(Pack(3000), 1000), std::make_pair(srDone, 3));
  EXPECT_EQ(Check(Pack(3000), 8388608), std::make_pair(srDone, 1));
  EXPECT_EQ(Check(Pack(0), 1000), std::make_pair(srDone, 1));
}

TEST_F(HashCheckerTest, ChangingAnyByteOfTheRegionOrSignatureFails) {
  const std::vector<uint8_t> good = Pack(40);
  for (size_t i = 8; i < good.size(); ++i) {
    std::vector<uint8_t> bad = good;
    bad[i] ^= 0x01;
    EXPECT_EQ(Check(bad, 16).first, srFailed) << "byte " << i;
  }
}

TEST_F(HashCheckerTest, FrameThatDoesNotFitThePackFailsOpen) {
  const std::vector<uint8_t> good = Pack(100);
  std::vector<uint8_t> longer = good;
  longer.push_back(0);
  EXPECT_EQ(Check(longer, 64).first, srFailed);
  EXPECT_EQ(Check(std::vector<uint8_t>(good.begin(), good.end() - 1), 64).first, srFailed);
  EXPECT_EQ(Check(std::vector<uint8_t>(good.begin(), good.begin() + 7), 64).first, srFailed);
  for (size_t i = 0; i < 8; ++i) {
    std::vector<uint8_t> bad = good;
    bad[i] ^= 0x01;
    EXPECT_EQ(Check(bad, 64).first, srFailed) << "frame byte " << i;
  }
  // L + S wraps to exactly the pack's size in 32 bits.
  std::vector<uint8_t> wrapping(8 + 16);
  const TPackFrame frame{0xFFFFFFF8u, 0x18u};
  std::memcpy(wrapping.data(), &frame, sizeof frame);
  EXPECT_EQ(Check(wrapping, 64).first, srFailed);
  EXPECT_EQ(Check(good, 0).first, srFailed);
}

TEST_F(HashCheckerTest, FailureSaysWhichPartOfTheFrameOrSignatureIsWrong) {
  const std::vector<uint8_t> good = Pack(100);
  EXPECT_EQ(Cause(good), pfNone);
  std::vector<uint8_t> longer = good;
  longer.push_back(0);
  EXPECT_EQ(Cause(longer), pfPackTrailingBytes);
  const auto truncated = CheckWithCause({good.begin(), good.end() - 1}, 64).second;
  EXPECT_EQ(std::make_pair(truncated.Kind, truncated.Expected - truncated.Actual),
            std::make_pair(pfPackTruncated, int64_t{1}));
  EXPECT_EQ(Cause({good.begin(), good.begin() + 7}), pfPackTooShort);
  std::vector<uint8_t> wrapping(8 + 16);
  const TPackFrame frame{0xFFFFFFF8u, 0x18u};
  std::memcpy(wrapping.data(), &frame, sizeof frame);
  EXPECT_EQ(Cause(wrapping), pfFrameLengthsOverflow);

  std::vector<uint8_t> changed = good;
  changed[20] ^= 1;
  EXPECT_EQ(Cause(changed), pfSignatureInvalid);
  const std::span<const uint8_t> region(good.data() + 8, 100);
  const auto short_signature =
      CheckWithCause(pack_tool::FramePack(region, std::span(good).subspan(108, 127)), 64).second;
  EXPECT_EQ(std::make_tuple(short_signature.Kind, short_signature.Expected, short_signature.Actual),
            std::make_tuple(pfSignatureLength, int64_t{128}, int64_t{127}));
  SetLibraryResourceForTesting("RAW", "PUBLIC_KEY", std::vector<uint8_t>(148, 0));
  EXPECT_EQ(Cause(good), pfNoPublicKey);
}

TEST_F(HashCheckerTest, EmptySignatureFailsAfterHashing) {
  const std::string region = TextBytes(100);
  const auto pack =
      pack_tool::FramePack({reinterpret_cast<const uint8_t*>(region.data()), region.size()}, {});
  EXPECT_EQ(Check(pack, 64), std::make_pair(srFailed, 2));
}

TEST_F(HashCheckerTest, MissingOrBrokenKeyFailsOpen) {
  SetLibraryResourceForTesting("RAW", "PUBLIC_KEY", std::vector<uint8_t>(148, 0));
  EXPECT_EQ(Check(Pack(10), 64).first, srFailed);
  SetLibraryResourceForTesting("RAW", "PUBLIC_KEY", std::vector<uint8_t>{});
  EXPECT_EQ(Check(Pack(10), 64).first, srFailed);
}

TEST_F(HashCheckerTest, StepAfterTheResultFails) {
  const std::vector<uint8_t> pack = Pack(10);
  THashChecker checker(64);
  ASSERT_EQ(checker.Open(pack), srContinue);
  ASSERT_EQ(checker.Step(), srDone);
  EXPECT_EQ(checker.Step(), srFailed);
}

}  // namespace
}  // namespace qel::test
