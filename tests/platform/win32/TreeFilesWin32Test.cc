// Writing an unpacked tree on Windows: what stands in the way is removed and
// never written through, and the files reach the disk before success.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "ReparsePoints.h"
#include "TempFolder.h"
#include "platform/Error.h"
#include "platform/TreeFiles.h"
#include "platform/TreeFlush.h"

namespace qel {
namespace {

using test::FileContent;
using test::PutFile;

std::span<const uint8_t> Bytes(const std::string& text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

DWORD AttributesOf(const std::string& path) { return ::GetFileAttributesA(path.c_str()); }

void WriteTreeFile(const std::string& path, const std::string& content) {
  const auto file = TTreeFile::Create(path);
  file->Write(Bytes(content));
  file->Close();
}

class TreeFilesWin32Test : public testing::Test {
 protected:
  test::TTempFolder Temp_;
  const std::string Tree_ = Temp_ / "tree";
  const std::string Outside_ = Temp_ / "outside";
  void SetUp() override {
    ASSERT_TRUE(::CreateDirectoryA(Tree_.c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryA(Outside_.c_str(), nullptr));
  }
};

TEST_F(TreeFilesWin32Test, FilesAreMadeOrEmptiedAndWhatIsInTheirPlaceRemoved) {
  WriteTreeFile(Tree_ + "\\new", "first");
  EXPECT_EQ(FileContent(Tree_ + "\\new"), "first");
  WriteTreeFile(Tree_ + "\\new", "2");
  EXPECT_EQ(FileContent(Tree_ + "\\new"), "2");

  // A folder with a read-only file in it.
  ASSERT_TRUE(::CreateDirectoryA((Tree_ + "\\was_folder").c_str(), nullptr));
  PutFile(Tree_ + "\\was_folder\\inner", "x");
  ::SetFileAttributesA((Tree_ + "\\was_folder\\inner").c_str(), FILE_ATTRIBUTE_READONLY);
  WriteTreeFile(Tree_ + "\\was_folder", "file now");
  EXPECT_EQ(FileContent(Tree_ + "\\was_folder"), "file now");

  // A second name of another file: what it names stays as it was.
  PutFile(Outside_ + "\\original", "keep");
  if (::CreateHardLinkA((Tree_ + "\\hard").c_str(), (Outside_ + "\\original").c_str(), nullptr)) {
    WriteTreeFile(Tree_ + "\\hard", "mine");
    EXPECT_EQ(FileContent(Tree_ + "\\hard"), "mine");
    EXPECT_EQ(FileContent(Outside_ + "\\original"), "keep");
  } else {
    ADD_FAILURE() << "no hard link: " << ::GetLastError();
  }

  // A device's name is no file to write.
  EXPECT_THROW(TTreeFile::Create(Tree_ + "\\NUL"), EQelError);
  EXPECT_THROW(TTreeFile::Create(Tree_ + "\\missing\\file"), EQelError);
}

TEST_F(TreeFilesWin32Test, FoldersAreMadeOrKeptAndWhatIsInTheirPlaceRemoved) {
  MakeTreeFolder(Tree_ + "\\data");
  PutFile(Tree_ + "\\data\\kept", "x");
  MakeTreeFolder(Tree_ + "\\data");
  EXPECT_EQ(FileContent(Tree_ + "\\data\\kept"), "x");
  PutFile(Tree_ + "\\file", "x");
  MakeTreeFolder(Tree_ + "\\file");
  EXPECT_TRUE(AttributesOf(Tree_ + "\\file") & FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_THROW(MakeTreeFolder(Tree_ + "\\missing\\deeper"), EQelError);

  MakeFolderIfMissing(Tree_ + "\\data\\");
  MakeFolderIfMissing(Tree_ + "\\made\\");
  EXPECT_TRUE(AttributesOf(Tree_ + "\\made") & FILE_ATTRIBUTE_DIRECTORY);
  PutFile(Tree_ + "\\plain", "x");
  EXPECT_THROW(MakeFolderIfMissing(Tree_ + "\\plain\\"), EQelError);
}

TEST_F(TreeFilesWin32Test, AJunctionInTheTreeIsReplacedNeverFollowed) {
  PutFile(Outside_ + "\\game.dll", "theirs");
  if (!test::MakeJunction(Tree_ + "\\folder", Outside_) || !test::MakeJunction(Tree_ + "\\file", Outside_))
    GTEST_SKIP() << "this file system holds no junctions";
  MakeTreeFolder(Tree_ + "\\folder");
  EXPECT_EQ(AttributesOf(Tree_ + "\\folder") & FILE_ATTRIBUTE_REPARSE_POINT, 0u);
  WriteTreeFile(Tree_ + "\\folder\\game.dll", "ours");
  WriteTreeFile(Tree_ + "\\file", "ours");
  EXPECT_EQ(FileContent(Outside_ + "\\game.dll"), "theirs");
  // The destination the caller chose may be a junction.
  ASSERT_TRUE(test::MakeJunction(Temp_ / "chosen", Outside_));
  EXPECT_NO_THROW(MakeFolderIfMissing(Temp_ / "chosen\\"));
}

TEST_F(TreeFilesWin32Test, TheFlushTakesFilesClosedSinceAndFoldersAndFinishesOnce) {
  const auto flush = MakeTreeFlush();
  MakeTreeFolder(Tree_ + "\\data");
  flush->FolderChanged(Tree_ + "\\data");
  for (int i = 0; i < 20; ++i) {
    const auto file = TTreeFile::Create(Tree_ + "\\data\\f" + std::to_string(i));
    file->Write(Bytes(std::string(10000 + i, 'a' + i % 26)));
    flush->FileWritten(*file);
    file->Close();
  }
  flush->FolderChanged(Tree_);
  EXPECT_NO_THROW(flush->Finish());
  EXPECT_EQ(FileContent(Tree_ + "\\data\\f19"), std::string(10019, 't'));
  // Nothing is taken once finished, and a folder that is not there is named.
  const auto written = TTreeFile::Create(Tree_ + "\\late");
  EXPECT_THROW(flush->FileWritten(*written), EQelError);
  try {
    MakeTreeFlush()->FolderChanged(Tree_ + "\\gone");
    FAIL() << "flushed a missing folder";
  } catch (const EQelError& failure) {
    EXPECT_NE(std::string(failure.what()).find(Tree_ + "\\gone"), std::string::npos) << failure.what();
  }
}

}  // namespace
}  // namespace qel
