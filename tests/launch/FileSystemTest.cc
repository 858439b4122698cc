#include "platform/FileSystem.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "TempFolder.h"
#include "platform/Error.h"

namespace qel {
namespace {

using test::FileContent;
using test::PutFile;

class FileSystemTest : public testing::Test {
 protected:
  TFileSystem& Files_ = DefaultFileSystem();
  test::TTempFolder Folder_;
};

TEST_F(FileSystemTest, ReadsWholeFilesWithinALimit) {
  const std::string content = std::string("bin\0ary", 7) + std::string(200000, 'x');
  PutFile(Folder_ / "f", content);
  EXPECT_EQ(Files_.ReadFile(Folder_ / "f", content.size()), content);
  EXPECT_THROW(Files_.ReadFile(Folder_ / "f", content.size() - 1), EFileTooLarge);
  PutFile(Folder_ / "empty", "");
  EXPECT_EQ(Files_.ReadFile(Folder_ / "empty", 0), "");
  EXPECT_THROW(Files_.ReadFile(Folder_ / "missing", 10), EQelError);
  EXPECT_THROW(Files_.ReadFile(Folder_.Path(), 10), EQelError);
}

TEST_F(FileSystemTest, TellsFilesFromFoldersAndMakesOneFolderLevel) {
  PutFile(Folder_ / "f", "x");
  EXPECT_TRUE(Files_.FileExists(Folder_ / "f"));
  EXPECT_FALSE(Files_.DirectoryExists(Folder_ / "f"));
  EXPECT_FALSE(Files_.FileExists(Folder_.Path()));
  EXPECT_TRUE(Files_.DirectoryExists(Folder_.Path()));

  EXPECT_TRUE(Files_.MakeDirectory(Folder_ / "sub"));
  EXPECT_TRUE(Files_.MakeDirectory(Folder_ / "sub"));
  EXPECT_FALSE(Files_.MakeDirectory(Folder_ / "a/b"));
  EXPECT_FALSE(Files_.MakeDirectory(Folder_ / "f"));
  EXPECT_TRUE(Files_.RemoveFile(Folder_ / "f"));
  EXPECT_TRUE(Files_.RemoveFile(Folder_ / "f"));
  EXPECT_FALSE(Files_.FileExists(Folder_ / "f"));
}

TEST_F(FileSystemTest, WritingTruncatesAndNeverFollowsALink) {
  Files_.WriteFile(Folder_ / "plain", "one");
  Files_.WriteFile(Folder_ / "plain", "2");
  EXPECT_EQ(FileContent(Folder_ / "plain"), "2");

  PutFile(Folder_ / "target", "keep");
  std::error_code unsupported;
  std::filesystem::create_symlink(Folder_ / "target", Folder_ / "link", unsupported);
  // MinGW's standard library makes no links on Windows.
  if (unsupported == std::errc::function_not_supported) GTEST_SKIP() << "no symbolic links here";
  ASSERT_FALSE(unsupported) << unsupported.message();
  EXPECT_THROW(Files_.WriteFile(Folder_ / "link", "new"), EQelError);
  EXPECT_EQ(FileContent(Folder_ / "target"), "keep");
}

}  // namespace
}  // namespace qel
