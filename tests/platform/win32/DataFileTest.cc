// The pack cache's data file and the mapped pack on Windows, where a file
// that is open or mapped can be deleted only if every open allowed it.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "TempFolder.h"
#include "platform/DataFile.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/MappedFile.h"

namespace qel {
namespace {

std::span<const uint8_t> Bytes(const std::string& text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

std::string Text(std::span<const uint8_t> bytes) { return std::string(bytes.begin(), bytes.end()); }

class DataFileTest : public testing::Test {
 protected:
  test::TTempFolder Folder_;
  const std::string Path_ = Folder_ / "pack.cache";
};

TEST_F(DataFileTest, WritesAndReadsAtAnyOffsetFromTwoThreads) {
  const auto file = TDataFile::Open(Path_);
  EXPECT_EQ(file->Size(), 0);
  // A writer ahead of a reader that only reads what is written.
  const std::string block(4096, 'b');
  std::thread writer([&] {
    for (int i = 0; i < 64; ++i) file->WriteAt(int64_t{i} * 4096, Bytes(block));
  });
  std::vector<uint8_t> read(4096);
  int64_t at = 0;
  while (at < 64 * 4096) {
    if (file->Size() < at + 4096) {
      std::this_thread::yield();
      continue;
    }
    ASSERT_EQ(file->ReadAt(at, read), 4096u);
    ASSERT_EQ(Text(read), block) << at;
    at += 4096;
  }
  writer.join();
  file->Flush();

  // Past the end: fewer bytes, then none; a write past the end fills the gap with zeros.
  EXPECT_EQ(file->ReadAt(64 * 4096 - 10, read), 10u);
  EXPECT_EQ(file->ReadAt(100 * 4096, read), 0u);
  file->WriteAt(70 * 4096, Bytes("end"));
  EXPECT_EQ(file->Size(), 70 * 4096 + 3);
  ASSERT_EQ(file->ReadAt(66 * 4096, std::span(read).first(2)), 2u);
  EXPECT_EQ(read[0], 0);
  file->Truncate(5);
  EXPECT_EQ(file->Size(), 5);
  EXPECT_EQ(TDataFile::Open(Path_)->Size(), 5);
}

TEST_F(DataFileTest, OnlyARegularFileOpens) {
  EXPECT_THROW(TDataFile::Open(Folder_.Path()), EQelError);
  EXPECT_THROW(TDataFile::Open(Folder_ / "missing/pack"), EQelError);
  EXPECT_THROW(TDataFile::Open("NUL"), EQelError);
  EXPECT_THROW(TMappedFile::Open(Folder_.Path()), EQelError);
  EXPECT_THROW(TMappedFile::Open(Folder_ / "missing"), EQelError);
  test::PutFile(Folder_ / "empty", "");
  EXPECT_TRUE(TMappedFile::Open(Folder_ / "empty")->Bytes().empty());
}

// The downloader maps the finished pack while its cache still holds the
// file open, and removes the file before the mapping goes.
TEST_F(DataFileTest, AFileOpenAndMappedCanBeRemovedAndGoesWithTheLastView) {
  TFileSystem& files = DefaultFileSystem();
  auto file = TDataFile::Open(Path_);
  file->WriteAt(0, Bytes("the whole pack"));
  file->Flush();
  auto mapped = TMappedFile::Open(Path_);
  EXPECT_EQ(Text(mapped->Bytes()), "the whole pack");

  ASSERT_TRUE(files.RemoveFile(Path_));
  // Both stay usable until they are closed.
  EXPECT_EQ(Text(mapped->Bytes()), "the whole pack");
  EXPECT_EQ(file->Size(), 14);
  // Windows keeps mapped bytes in the file: the cut is refused, not faked.
  EXPECT_THROW(file->Truncate(0), EQelError);

  mapped.reset();
  file.reset();
  EXPECT_FALSE(files.FileExists(Path_));
  EXPECT_EQ(TDataFile::Open(Path_)->Size(), 0);
}

}  // namespace
}  // namespace qel
