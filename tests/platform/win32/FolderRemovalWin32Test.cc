// Removing an install folder on Windows: read-only entries go, links go as
// links, and what is no removable folder is left alone.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "ReparsePoints.h"
#include "TempFolder.h"
#include "platform/FolderRemoval.h"

namespace qel {
namespace {

using test::FileContent;
using test::PutFile;

bool Exists(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

class FolderRemovalWin32Test : public testing::Test {
 protected:
  void MakeFolder(const std::string& path) { ASSERT_TRUE(::CreateDirectoryA(path.c_str(), nullptr)) << path; }
  void MakeReadOnly(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    ASSERT_TRUE(::SetFileAttributesA(path.c_str(), attributes | FILE_ATTRIBUTE_READONLY)) << path;
  }

  test::TTempFolder Temp_;
  const std::string Game_ = Temp_ / "game";
  const std::string Outside_ = Temp_ / "outside";
};

TEST_F(FolderRemovalWin32Test, RemovesANestedTreeWithReadOnlyFilesAndFolders) {
  MakeFolder(Game_);
  MakeFolder(Game_ + "\\data");
  MakeFolder(Game_ + "\\data\\deep");
  PutFile(Game_ + "\\game.dll", "code");
  PutFile(Game_ + "\\data\\deep\\pack", "bytes");
  PutFile(Game_ + "\\data\\hidden", "h");
  MakeReadOnly(Game_ + "\\game.dll");
  MakeReadOnly(Game_ + "\\data\\deep\\pack");
  ::SetFileAttributesA((Game_ + "\\data\\hidden").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  MakeReadOnly(Game_ + "\\data\\deep");
  MakeReadOnly(Game_);

  EXPECT_TRUE(DeleteTree(Game_ + "\\"));
  EXPECT_FALSE(Exists(Game_));
  // Either separator ends the folder's name.
  MakeFolder(Game_);
  EXPECT_TRUE(DeleteTree(Game_ + "/"));
  EXPECT_FALSE(Exists(Game_));
}

TEST_F(FolderRemovalWin32Test, WhatIsNoRemovableFolderStays) {
  MakeFolder(Game_);
  PutFile(Game_ + "\\file", "x");
  EXPECT_FALSE(DeleteTree(Game_ + "\\file\\"));
  EXPECT_FALSE(DeleteTree(Temp_ / "missing\\"));
  EXPECT_FALSE(DeleteTree(Game_ + "\\.\\"));
  EXPECT_FALSE(DeleteTree(Game_ + "\\..\\"));
  EXPECT_FALSE(DeleteTree(Game_ + "\\.."));
  EXPECT_FALSE(DeleteTree(""));
  EXPECT_FALSE(DeleteTree("\\"));
  // A drive's root, however written; nothing is tried on it.
  EXPECT_FALSE(DeleteTree("Q:\\"));
  EXPECT_FALSE(DeleteTree("Q:"));
  EXPECT_FALSE(DeleteTree("Q:/"));
  EXPECT_EQ(FileContent(Game_ + "\\file"), "x");
}

TEST_F(FolderRemovalWin32Test, AJunctionInsideGoesAsALinkAndItsTargetStays) {
  MakeFolder(Game_);
  MakeFolder(Outside_);
  PutFile(Outside_ + "\\precious", "keep");
  if (!test::MakeJunction(Game_ + "\\junction", Outside_))
    GTEST_SKIP() << "this file system holds no junctions";
  ASSERT_EQ(FileContent(Game_ + "\\junction\\precious"), "keep");
  const bool linked = test::MakeSymbolicLink(Game_ + "\\link", Outside_, true);

  // The tree named through a junction is not removed either.
  EXPECT_FALSE(DeleteTree(Game_ + "\\junction\\"));
  EXPECT_TRUE(DeleteTree(Game_ + "\\"));
  EXPECT_FALSE(Exists(Game_));
  EXPECT_EQ(FileContent(Outside_ + "\\precious"), "keep");
  if (!linked) GTEST_SKIP() << "folder links were not tried: no symbolic links here";
}

}  // namespace
}  // namespace qel
