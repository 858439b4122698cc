// The unpacker on hand-built bodies: every kind of block, the format's edge
// cases, and damaged structures that must fail without reading outside the
// body or looping.
#include "pack/DirectoryUnpacker.h"

#include <gtest/gtest.h>

#include <tuple>

#include "PackSystem.h"
#include "PackTestKit.h"

namespace qel::test {
namespace {

using TTree = std::map<std::string, std::string>;

class DirectoryUnpackerTest : public testing::Test {
 protected:
  // Opens and steps to the end; the last result.
  TStepResult Unpack(const std::vector<uint8_t>& body) {
    Body_ = body;
    TDirectoryUnpacker unpacker((Temp_ / "dest/"));
    TStepResult result = unpacker.Open(Body_);
    ++Steps_;
    while (result == srContinue) {
      result = unpacker.Step();
      ++Steps_;
    }
    Failure_ = unpacker.Failure();
    return result;
  }
  TTree Written() const {
    return fs::exists((Temp_ / "dest/")) ? ReadTree((Temp_ / "dest/")) : TTree{{"", "<no folder>"}};
  }

  TTempFolder Temp_;
  std::vector<uint8_t> Body_;
  int Steps_ = 0;
  TPackFailure Failure_;
  const TTree kNothing{{"", "<no folder>"}};
};

TEST_F(DirectoryUnpackerTest, StoredBlockMakesFolderAndFiles) {
  TBodyBuilder b;
  const int32_t dir = b.Folder("dir");
  b.File("a", "abc", dir);
  b.File("b", "defgh", dir);
  b.Stored(3, "abcdefgh");
  EXPECT_EQ(Unpack(b.Body()), srDone);
  EXPECT_EQ(Written(), (TTree{{"dir", "<folder>"}, {"dir/a", "abc"}, {"dir/b", "defgh"}}));
}

TEST_F(DirectoryUnpackerTest, StoredBlockWhoseSizesDoNotAddUpFailsAfterWritingThem) {
  TBodyBuilder b;
  const int32_t dir = b.Folder("dir");
  b.File("a", "abc", dir);
  b.File("b", "defgh", dir);
  b.Stored(3, "abcdefgh", 9);
  EXPECT_EQ(Unpack(b.Body()), srFailed);
  EXPECT_EQ(Failure_.Kind, pfBlockSizesDiffer);
  EXPECT_EQ(std::tie(Failure_.Block, Failure_.Expected, Failure_.Actual),
            std::make_tuple(0, int64_t{9}, int64_t{8}));
  EXPECT_EQ(Written(), (TTree{{"dir", "<folder>"}, {"dir/a", "abc"}, {"dir/b", "defgh"}}));
}

TEST_F(DirectoryUnpackerTest, EveryBlockKindInOneBody) {
  TBodyBuilder b;
  const std::string text = TextBytes(300000);
  const std::string random = RandomBytes(5000, 1);
  b.File("single", text);
  b.Compressed(1, text);
  const int32_t dir = b.Folder("group");
  b.File("x", text.substr(0, 1000), dir);
  b.File("empty", "", dir);
  b.File("y", text.substr(7, 2000), dir);
  b.Compressed(4, text.substr(0, 1000) + text.substr(7, 2000));
  b.File("r", random);
  b.Stored(1, random);
  b.MaxBlockSize = 3000;
  EXPECT_EQ(Unpack(b.Body()), srDone);
  EXPECT_EQ(Steps_, 4);
  EXPECT_EQ(Written(), (TTree{{"single", text},
                              {"group", "<folder>"},
                              {"group/x", text.substr(0, 1000)},
                              {"group/empty", ""},
                              {"group/y", text.substr(7, 2000)},
                              {"r", random}}));
}

TEST_F(DirectoryUnpackerTest, SingleFileLargerThanTheBlockBufferStreamsIntoItsFile) {
  TBodyBuilder b;
  const std::string text = TextBytes(3 << 20);
  b.File("big", text);
  b.Compressed(1, text);
  b.MaxBlockSize = 1024;
  EXPECT_EQ(Unpack(b.Body()), srDone);
  EXPECT_EQ(ReadText((Temp_ / "dest/") + "big"), text);
}

TEST_F(DirectoryUnpackerTest, StopAskedWhileAFileIsStreamedEndsTheStepWithinIt) {
  TBodyBuilder b;
  b.File("big", TextBytes(3 << 20));
  b.Compressed(1, TextBytes(3 << 20));
  b.MaxBlockSize = 1024;
  Body_ = b.Body();
  int asked = 0;
  TUnpackOptions options;
  options.StopRequested = [&] { return ++asked > 1; };
  TDirectoryUnpacker unpacker(Temp_ / "dest/", options);
  ASSERT_EQ(unpacker.Open(Body_), srContinue);
  EXPECT_EQ(unpacker.Step(), srFailed);
  EXPECT_EQ(std::tie(unpacker.Failure().Kind, unpacker.Failure().Block, unpacker.Failure().Entry),
            std::make_tuple(pfStopped, 0, 0));
  // One piece was written before the stop was seen, not the whole file.
  EXPECT_EQ(asked, 2);
  EXPECT_LT(fs::file_size(Temp_ / "dest/big"), size_t{3 << 20});
}

TEST_F(DirectoryUnpackerTest, StreamLongerThanTheBlockReadsOnlyTheBlocksBytes) {
  TBodyBuilder b;
  b.File("a", "0123");
  b.File("b", "4567");
  b.Compressed(2, "01234567 and more", 8);
  EXPECT_EQ(Unpack(b.Body()), srDone);
  EXPECT_EQ(ReadText((Temp_ / "dest/") + "b"), "4567");
}

TEST_F(DirectoryUnpackerTest, ExistingFolderIsKeptAndExistingFileOverwritten) {
  fs::create_directories((Temp_ / "dest/") + "dir");
  WriteText((Temp_ / "dest/") + "dir/f", "a much longer old content");
  TBodyBuilder b;
  b.File("f", "new", b.Folder("dir"));
  b.Stored(2, "new");
  EXPECT_EQ(Unpack(b.Body()), srDone);
  EXPECT_EQ(ReadText((Temp_ / "dest/") + "dir/f"), "new");
}

TEST_F(DirectoryUnpackerTest, SingleFileBlockMustCoverAFileOfItsSize) {
  TBodyBuilder folder;
  folder.Folder("dir");
  folder.Compressed(1, TextBytes(100));
  EXPECT_EQ(Unpack(folder.Body()), srFailed);
  EXPECT_EQ(Failure_.Kind, pfSingleFileIsFolder);
  EXPECT_EQ(std::tie(Failure_.Block, Failure_.Entry, Failure_.EntryName),
            std::make_tuple(0, 0, std::string("dir")));

  TBodyBuilder wrong_size;
  wrong_size.File("f", TextBytes(99));
  wrong_size.Compressed(1, TextBytes(100));
  EXPECT_EQ(Unpack(wrong_size.Body()), srFailed);
  EXPECT_EQ(Failure_.Kind, pfSingleFileSize);
  EXPECT_EQ(std::tie(Failure_.Expected, Failure_.Actual),
            std::make_tuple(int64_t{100}, int64_t{99}));
  EXPECT_FALSE(fs::exists((Temp_ / "dest/") + "f"));
}

TEST_F(DirectoryUnpackerTest, BytesAfterTheLastBlockAreReadAsABlock) {
  TBodyBuilder b;
  b.File("f", "abc");
  b.Stored(1, "abc");
  const uint8_t trailing[] = {1, 2, 3, 4};
  b.Raw(trailing);
  EXPECT_EQ(Unpack(b.Body()), srFailed);
  EXPECT_EQ(ReadText((Temp_ / "dest/") + "f"), "abc");

  TBodyBuilder empty_block;
  empty_block.File("f", "abc");
  empty_block.Stored(1, "abc");
  empty_block.Stored(0, "");
  EXPECT_EQ(Unpack(empty_block.Body()), srDone);
}

TEST_F(DirectoryUnpackerTest, TotalSizeMismatchWritesEverythingButFails) {
  TBodyBuilder b;
  b.File("f", "abc");
  b.File("g", "de");
  b.Stored(1, "abc");
  b.Stored(1, "de");
  b.TotalSize = 8 + 2 * 274 + 4;
  EXPECT_EQ(Unpack(b.Body()), srFailed);
  EXPECT_EQ(Failure_.Kind, pfTotalSizeDiffers);
  EXPECT_EQ(Failure_.Block, -1);
  EXPECT_EQ(Written(), (TTree{{"f", "abc"}, {"g", "de"}}));
}

TEST_F(DirectoryUnpackerTest, BlockOfSeveralEntriesLargerThanMaxBlockSizeFails) {
  TBodyBuilder b;
  b.File("a", TextBytes(600));
  b.File("b", TextBytes(600));
  b.Compressed(2, TextBytes(600) + TextBytes(600));
  b.MaxBlockSize = 1199;
  EXPECT_EQ(Unpack(b.Body()), srFailed);
  EXPECT_EQ(Failure_.Kind, pfBlockAboveMaxBlock);
  EXPECT_EQ(Written(), TTree{});
}

TEST_F(DirectoryUnpackerTest, EntryTableThatInflatesShortWritesNothing) {
  TBodyBuilder b;
  b.File("f", "abc");
  b.Stored(1, "abc");
  b.EntryCount = 2;
  EXPECT_EQ(Unpack(b.Body()), srFailed);
  EXPECT_EQ(Failure_.Kind, pfEntryTableDamaged);
  EXPECT_EQ(Written(), kNothing);
}

TEST_F(DirectoryUnpackerTest, BlockCoveringMoreEntriesThanRemainFails) {
  TBodyBuilder b;
  b.File("f", "abc");
  b.Stored(2, "abc");
  EXPECT_EQ(Unpack(b.Body()), srFailed);
  EXPECT_EQ(Failure_.Kind, pfBlockPastEntryTable);
}

TEST_F(DirectoryUnpackerTest, FailureNamesTheBlockEntryAndPathOfTheFirstFault) {
  TBodyBuilder b;
  b.File("a", "abc");
  b.Stored(1, "abc");
  const int32_t dir = b.Folder("dir");
  const std::string overlong(256, 'f');
  b.File(overlong, TextBytes(2000), dir);
  b.Compressed(2, TextBytes(2000));
  EXPECT_EQ(Unpack(b.Body()), srFailed);
  EXPECT_EQ(Failure_.Kind, pfCannotWriteFile);
  EXPECT_EQ(std::tie(Failure_.Block, Failure_.Entry, Failure_.EntryName, Failure_.Path),
            std::make_tuple(1, 2, overlong, (Temp_ / "dest/") + Native("dir/") + overlong));
  EXPECT_NE(Failure_.Detail.find(NameTooLongText()), std::string::npos) << Failure_.Detail;
}

// Damaged numbers: each must fail, without reading outside the body.
struct TDamage {
  const char* Name;
  void (*Apply)(TBodyBuilder& b);
  TPackFailureKind Cause;
};

class DamagedBodyTest : public DirectoryUnpackerTest,
                        public testing::WithParamInterface<TDamage> {};

TEST_P(DamagedBodyTest, FailsWithoutWritingOutsideOrLooping) {
  TBodyBuilder b;
  GetParam().Apply(b);
  EXPECT_EQ(Unpack(b.Body()), srFailed);
  EXPECT_LE(Steps_, 3);
  EXPECT_EQ(Failure_.Kind, GetParam().Cause);
}

void Header(TBodyBuilder& b, TBlockHeader header, size_t data = 0) {
  b.Raw({reinterpret_cast<const uint8_t*>(&header), sizeof header});
  const std::string bytes(data, 'x');
  b.Raw({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
}

INSTANTIATE_TEST_SUITE_P(
    Damage, DamagedBodyTest,
    testing::Values(TDamage{"NegativeEntryCount", [](TBodyBuilder& b) { b.EntryCount = -1; },
                            pfBodyNegativeField},
                    TDamage{"NegativeMaxBlockSize", [](TBodyBuilder& b) { b.MaxBlockSize = -1; },
                            pfBodyNegativeField},
                    TDamage{"NegativeFileSize",
                            [](TBodyBuilder& b) {
                              b.Entry(b.File("f", "")).Size = -5;
                              b.Stored(1, "");
                            },
                            pfFileSizePastBlock},
                    TDamage{"NegativePackedSize",
                            [](TBodyBuilder& b) {
                              Header(b, {-12, 0, 0});
                            },
                            pfBlockNegativeField},
                    TDamage{"NegativeUnpackedSize",
                            [](TBodyBuilder& b) {
                              Header(b, {4, -1, 0}, 4);
                            },
                            pfBlockNegativeField},
                    TDamage{"NegativeEntryCountInBlock",
                            [](TBodyBuilder& b) {
                              b.File("f", "");
                              Header(b, {0, 0, -1});
                            },
                            pfBlockNegativeField},
                    TDamage{"BlockHeaderPastBody",
                            [](TBodyBuilder& b) {
                              const uint8_t part[] = {0, 0, 0, 0, 0, 0};
                              b.Raw(part);
                            },
                            pfBlockHeaderPastBody},
                    TDamage{"BlockDataPastBody",
                            [](TBodyBuilder& b) {
                              b.File("f", std::string(100, 'x'));
                              Header(b, {100, 100, 1}, 99);
                            },
                            pfBlockDataPastBody},
                    TDamage{"StoredSizesPastBlockData",
                            [](TBodyBuilder& b) {
                              b.Entry(b.File("f", "abc")).Size = 1000;
                              Header(b, {3, 3, 1}, 3);
                            },
                            pfFileSizePastBlock},
                    TDamage{"HugeClaimedBlock",
                            [](TBodyBuilder& b) {
                              b.File("a", "");
                              b.File("b", "");
                              b.MaxBlockSize = INT32_MAX;
                              Header(b, {10, INT32_MAX - 1, 2}, 10);
                            },
                            pfBlockDataDamaged}),
    [](const testing::TestParamInfo<TDamage>& info) { return info.param.Name; });

}  // namespace
}  // namespace qel::test
