// The file system where Windows differs: replacing by rename, read-only
// files, device names, links, and the rights of the folders it makes.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "ReparsePoints.h"
#include "TempFolder.h"
#include "platform/AtomicFile.h"
#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/FolderTrust.h"

namespace qel {
namespace {

using test::FileContent;
using test::PutFile;

class FileSystemWin32Test : public testing::Test {
 protected:
  TFileSystem& Files_ = DefaultFileSystem();
  test::TTempFolder Folder_;
};

TEST_F(FileSystemWin32Test, RenameReplacesAnExistingFileAndNamesWhatFailed) {
  PutFile(Folder_ / "state", "old");
  PutFile(Folder_ / "state.new", "new");
  Files_.RenameFile(Folder_ / "state.new", Folder_ / "state");
  EXPECT_EQ(FileContent(Folder_ / "state"), "new");
  EXPECT_FALSE(Files_.FileExists(Folder_ / "state.new"));

  WriteFileAtomically(Files_, Folder_ / "state", "newer");
  EXPECT_EQ(FileContent(Folder_ / "state"), "newer");
  EXPECT_FALSE(Files_.FileExists(PendingFileName(Folder_ / "state")));

  try {
    Files_.RenameFile(Folder_ / "missing", Folder_ / "state");
    FAIL() << "renamed a missing file";
  } catch (const EQelError& failure) {
    const std::string message = failure.what();
    // The system's own words after the path, without its line break.
    EXPECT_NE(message.find(Folder_ / "missing: "), std::string::npos) << message;
    EXPECT_GT(message.size(), (Folder_ / "missing: ").size() + 5) << message;
    EXPECT_NE(message.back(), '\n');
  }
  EXPECT_EQ(FileContent(Folder_ / "state"), "newer");
}

TEST_F(FileSystemWin32Test, ReadOnlyFilesAreRemovedAndRewrittenFilesLoseNothing) {
  PutFile(Folder_ / "ro", "x");
  ASSERT_TRUE(::SetFileAttributesA((Folder_ / "ro").c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_TRUE(Files_.RemoveFile(Folder_ / "ro"));
  EXPECT_EQ(FileContent(Folder_ / "ro"), "<missing>");

  // A folder is no file: it stays.
  ASSERT_TRUE(Files_.MakeDirectory(Folder_ / "sub"));
  EXPECT_FALSE(Files_.RemoveFile(Folder_ / "sub"));
  EXPECT_TRUE(Files_.DirectoryExists(Folder_ / "sub"));

  // More than one call of WriteFile can move at once.
  const std::string big(3 * 1024 * 1024 + 17, 'z');
  Files_.WriteFile(Folder_ / "big", big);
  EXPECT_EQ(Files_.ReadFile(Folder_ / "big", big.size()), big);
}

TEST_F(FileSystemWin32Test, DeviceNamesAreNoFiles) {
  EXPECT_FALSE(Files_.FileExists("NUL"));
  EXPECT_FALSE(Files_.DirectoryExists("NUL"));
  EXPECT_THROW(Files_.ReadFile("NUL", 10), EQelError);
  EXPECT_THROW(Files_.WriteFile(Folder_ / "NUL", "x"), EQelError);
}

TEST_F(FileSystemWin32Test, WritingNeverFollowsAJunctionOrLink) {
  ASSERT_TRUE(Files_.MakeDirectory(Folder_ / "target"));
  PutFile(Folder_ / "target/file", "keep");
  bool planted = false;
  if (test::MakeJunction(Folder_ / "junction", Folder_ / "target")) {
    planted = true;
    EXPECT_THROW(Files_.WriteFile(Folder_ / "junction", "new"), EQelError);
    EXPECT_TRUE(Files_.DirectoryExists(Folder_ / "junction"));
  }
  if (test::MakeSymbolicLink(Folder_ / "link", Folder_ / "target/file", false)) {
    planted = true;
    EXPECT_THROW(Files_.WriteFile(Folder_ / "link", "new"), EQelError);
    EXPECT_TRUE(Files_.RemoveFile(Folder_ / "link"));
  }
  EXPECT_EQ(FileContent(Folder_ / "target/file"), "keep");
  if (!planted) GTEST_SKIP() << "this file system holds neither junctions nor symbolic links";
}

TEST_F(FileSystemWin32Test, MadeFoldersAreClosedToOthers) {
  ASSERT_TRUE(Files_.MakeDirectory(Folder_ / "games"));
  EXPECT_EQ(TrustOfFolder(Folder_ / "games"), ftUsersAlone);
  // Made inside such a folder, a folder is closed too.
  ASSERT_TRUE(Files_.MakeDirectory(Folder_ / "games/one"));
  EXPECT_EQ(TrustOfFolder(Folder_ / "games/one"), ftUsersAlone);
  PutFile(Folder_ / "games/one/module", "code");
  EXPECT_EQ(Files_.ReadFile(Folder_ / "games/one/module", 4), "code");
}

}  // namespace
}  // namespace qel
