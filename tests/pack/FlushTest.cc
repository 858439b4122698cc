// Flushing the written tree: with FlushWritten the flush hears of every file
// once it is fully written and of every folder made or changed, and is
// finished once, after the last block; any failure of it fails the run.
#include <gtest/gtest.h>

#include <algorithm>

#include "PackTestKit.h"
#include "pack/ExtractThread.h"
#include "platform/Error.h"
#include "platform/TreeFiles.h"
#include "platform/TreeFlush.h"

namespace qel::test {
namespace {

// Records each call as text; the call named in FailOn raises instead.
class TRecordingFlush final : public TTreeFlush {
 public:
  void FileWritten(const TTreeFile& file) override {
    // The size on the disk shows that the file was complete when announced.
    Record("file " + file.Path() + " " + std::to_string(fs::file_size(file.Path())));
  }
  void FolderChanged(const std::string& path) override { Record("folder " + path); }
  void Finish() override { Record("finish"); }

  std::vector<std::string> Calls;
  std::string FailOn;

 private:
  void Record(const std::string& call) {
    Calls.push_back(call);
    if (!FailOn.empty() && call.starts_with(FailOn)) throw EQelError("disk said no");
  }
};

class FlushTest : public testing::Test {
 protected:
  FlushTest() {
    Pack_ = SignedPack(TwoFilesInAFolder());
  }

  bool Extract(TExtractOptions options) {
    TExtractThread thread(Dest_, Pack_, "{Game}", std::move(options));
    EXPECT_TRUE(thread.WaitFor(20000));
    Failure_ = thread.Failure();
    return thread.Succeeded();
  }
  TExtractOptions WithFlush(TTreeFlush& flush, bool flush_written = true) {
    TExtractOptions options;
    options.FlushWritten = flush_written;
    options.Flush = &flush;
    return options;
  }

  TTestKey Key_;
  TTempFolder Temp_;
  std::string Dest_ = Temp_ / "dest/";
  std::vector<uint8_t> Pack_;
  TPackFailure Failure_;
};

TEST_F(FlushTest, EveryFileAndFolderIsAnnouncedThenFinishedOnceAtTheEnd) {
  TRecordingFlush flush;
  ASSERT_TRUE(Extract(WithFlush(flush)));
  EXPECT_EQ(flush.Calls, (std::vector<std::string>{
                             "folder " + Dest_,
                             "folder " + Dest_ + "data",
                             "file " + Dest_ + Native("data/one") + " 5",
                             "file " + Dest_ + Native("data/two") + " 4000",
                             "finish",
                         }));
}

TEST_F(FlushTest, WithoutFlushWrittenTheFlushHearsNothing) {
  TRecordingFlush flush;
  ASSERT_TRUE(Extract(WithFlush(flush, false)));
  EXPECT_TRUE(flush.Calls.empty());
  EXPECT_EQ(ReadText(Dest_ + "data/two"), TextBytes(4000));
}

TEST_F(FlushTest, FailureToFlushFailsTheRunAndSaysWhere) {
  TRecordingFlush at_end;
  at_end.FailOn = "finish";
  EXPECT_FALSE(Extract(WithFlush(at_end)));
  EXPECT_EQ(std::make_tuple(Failure_.Kind, Failure_.Path, Failure_.Detail),
            std::make_tuple(pfCannotFlush, Dest_, std::string("disk said no")));

  TRecordingFlush at_file;
  at_file.FailOn = "file " + Dest_ + Native("data/one");
  EXPECT_FALSE(Extract(WithFlush(at_file)));
  EXPECT_EQ(std::make_tuple(Failure_.Kind, Failure_.Path, Failure_.Block, Failure_.Entry),
            std::make_tuple(pfCannotFlush, Dest_ + Native("data/one"), 0, 1));
  // The run ended there: the later file was not written again, nor finished.
  EXPECT_EQ(at_file.Calls.back(), "file " + Dest_ + Native("data/one") + " 5");

  TRecordingFlush at_folder;
  at_folder.FailOn = "folder " + Dest_ + "data";
  EXPECT_FALSE(Extract(WithFlush(at_folder)));
  EXPECT_EQ(std::make_tuple(Failure_.Kind, Failure_.Path, Failure_.Entry),
            std::make_tuple(pfCannotFlush, Dest_ + "data", 0));
}

TEST_F(FlushTest, PlatformFlushBringsATreeToTheDiskAndRefusesWhatItCannotOpen) {
  // The default flush is the platform's: a run with it succeeds.
  ASSERT_TRUE(Extract({}));
  EXPECT_EQ(ReadText(Dest_ + "data/two"), TextBytes(4000));

  const auto flush = MakeTreeFlush();
  flush->FolderChanged(Dest_);
  auto file = TTreeFile::Create(Dest_ + "three");
  file->Write(std::span<const uint8_t>(Pack_).first(100));
  flush->FileWritten(*file);
  file->Close();
  EXPECT_NO_THROW(flush->Finish());
  EXPECT_THROW(flush->FolderChanged(Temp_ / "missing"), EQelError);
}

}  // namespace
}  // namespace qel::test
