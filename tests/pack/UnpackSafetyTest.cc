// One test per rule that keeps a pack from writing outside its destination
// folder, whatever mistake the publisher's tool made or whatever stands in
// the destination already.
#include <gtest/gtest.h>

#include "PackSystem.h"
#include "PackTestKit.h"
#include "pack/DirectoryUnpacker.h"

namespace qel::test {
namespace {

using TTree = std::map<std::string, std::string>;

class UnpackSafetyTest : public testing::Test {
 protected:
  TStepResult Unpack(const TBodyBuilder& builder) {
    Body_ = builder.Body();
    TDirectoryUnpacker unpacker((Temp_ / "dest/"));
    TStepResult result = unpacker.Open(Body_);
    while (result == srContinue) result = unpacker.Step();
    return result;
  }
  // Refused when the table is read: not even the destination is made.
  void ExpectRefusedBeforeWriting(const TBodyBuilder& builder) {
    Body_ = builder.Body();
    TDirectoryUnpacker unpacker((Temp_ / "dest/"));
    EXPECT_EQ(unpacker.Open(Body_), srFailed);
    EXPECT_FALSE(fs::exists((Temp_ / "dest/")));
    EXPECT_EQ(ReadTree(Temp_.Path()), (std::map<std::string, std::string>{}));
  }

  TTempFolder Temp_;
  std::vector<uint8_t> Body_;
};

class EntryNameTest : public UnpackSafetyTest, public testing::WithParamInterface<std::string> {};

TEST_P(EntryNameTest, NameThatIsNotOneComponentIsRefusedBeforeAnythingIsWritten) {
  TBodyBuilder b;
  b.File("fine", "x");
  b.File(GetParam(), "evil");
  b.Stored(2, "xevil");
  ExpectRefusedBeforeWriting(b);
}

INSTANTIATE_TEST_SUITE_P(Names, EntryNameTest,
                         testing::Values("", ".", "..", "../up", "a/b", "/abs", "a\\b", "..\\up",
                                         std::string("\0a", 2)));

TEST_F(UnpackSafetyTest, ANameEndsAtItsFirstZeroByteWhateverFollows) {
  TBodyBuilder b;
  // What other writers leave behind the zero byte, a separator included.
  b.File("game.ini" + std::string("\0\x7f/../x", 7), "ini", b.Folder(std::string("data\0\0\x01", 7)));
  b.Stored(2, "ini");
  EXPECT_EQ(Unpack(b), srDone);
  EXPECT_EQ(ReadTree(Temp_ / "dest"), (TTree{{"data", "<folder>"}, {"data/game.ini", "ini"}}));
}

TEST_F(UnpackSafetyTest, ParentOutsideTheTableIsRefused) {
  TBodyBuilder b;
  b.File("f", "x", 5);
  b.Stored(1, "x");
  ExpectRefusedBeforeWriting(b);
}

TEST_F(UnpackSafetyTest, ParentThatIsNotAnEarlierEntryIsRefused) {
  // A Parent at or after its own entry is how a cycle begins.
  TBodyBuilder b;
  const int32_t a = b.Folder("a", 1);
  b.Folder("b", a);
  b.Stored(2, "");
  ExpectRefusedBeforeWriting(b);

  TBodyBuilder self;
  self.Folder("a", 0);
  self.Stored(1, "");
  ExpectRefusedBeforeWriting(self);
}

TEST_F(UnpackSafetyTest, ParentThatIsAFileIsRefused) {
  TBodyBuilder b;
  b.File("g", "z", b.File("f", "y"));
  b.Stored(2, "yz");
  ExpectRefusedBeforeWriting(b);
}

// What stands where an entry goes and is of another kind is removed, never
// followed, and the entry made anew: an update then installs where it
// used to fail on every attempt.

TEST_F(UnpackSafetyTest, LinkWhereAFolderGoesIsReplacedAndWhatItLeadsToUntouched) {
  const fs::path outside = Temp_ / "outside";
  fs::create_directories(outside);
  fs::create_directories(Temp_ / "dest/");
  if (!MakeSymlink(outside, Temp_ / "dest/dir")) GTEST_SKIP() << kNoSymlinks;
  TBodyBuilder b;
  b.File("f", "new", b.Folder("dir"));
  b.Stored(2, "new");
  EXPECT_EQ(Unpack(b), srDone);
  EXPECT_TRUE(fs::is_empty(outside));
  EXPECT_FALSE(fs::is_symlink(Temp_ / "dest/dir"));
  EXPECT_EQ(ReadTree(Temp_ / "dest"), (TTree{{"dir", "<folder>"}, {"dir/f", "new"}}));
}

TEST_F(UnpackSafetyTest, LinksWhereFilesGoAreReplacedAndTheirTargetsUntouched) {
  const fs::path outside = Temp_ / "outside.txt";
  WriteText(outside, "keep");
  fs::create_directories(Temp_ / "dest/");
  if (!MakeSymlink(outside, Temp_ / "dest/f")) GTEST_SKIP() << kNoSymlinks;
  MakeSymlink(Temp_ / "absent", Temp_ / "dest/dangling");
  MakeSymlink(Temp_.Path(), Temp_ / "dest/to_folder");
  TBodyBuilder b;
  b.File("f", "new");
  b.File("dangling", "made");
  b.File("to_folder", "file");
  b.Stored(3, "newmadefile");
  EXPECT_EQ(Unpack(b), srDone);
  EXPECT_EQ(ReadText(outside), "keep");
  EXPECT_FALSE(fs::exists(Temp_ / "absent"));
  EXPECT_EQ(ReadTree(Temp_ / "dest"),
            (TTree{{"f", "new"}, {"dangling", "made"}, {"to_folder", "file"}}));
}

TEST_F(UnpackSafetyTest, FileThatBecomesAFolderOnUpdateIsReplaced) {
  fs::create_directories(Temp_ / "dest/");
  WriteText(Temp_ / "dest/maps", "the old single map file");
  TBodyBuilder b;
  b.File("north.map", "north", b.Folder("maps"));
  b.Stored(2, "north");
  EXPECT_EQ(Unpack(b), srDone);
  EXPECT_EQ(ReadTree(Temp_ / "dest"), (TTree{{"maps", "<folder>"}, {"maps/north.map", "north"}}));
}

TEST_F(UnpackSafetyTest, FolderTreeThatBecomesAFileIsRemovedWithoutFollowingLinksInIt) {
  const fs::path outside = Temp_ / "outside";
  fs::create_directories(outside);
  WriteText(outside / "kept", "keep");
  fs::create_directories(Temp_ / "dest/maps/deeper");
  WriteText(Temp_ / "dest/maps/north.map", "north");
  WriteText(Temp_ / "dest/maps/deeper/south.map", "south");
  // The links are left out where none can be made: the tree is still removed.
  if (MakeSymlink(outside, Temp_ / "dest/maps/deeper/away"))
    MakeSymlink(outside / "kept", Temp_ / "dest/maps/kept");
  TBodyBuilder b;
  b.File("maps", "one file now");
  b.Stored(1, "one file now");
  EXPECT_EQ(Unpack(b), srDone);
  EXPECT_EQ(ReadTree(Temp_ / "dest"), (TTree{{"maps", "one file now"}}));
  EXPECT_EQ(ReadTree(outside), (TTree{{"kept", "keep"}}));
}

TEST_F(UnpackSafetyTest, PipesWhereAFileOrAFolderGoesAreReplacedWithoutBlocking) {
  // Opening a pipe for writing would wait for a reader that never comes.
  fs::create_directories(Temp_ / "dest/");
  for (const char* name : {"pipe", "folder"})
    if (!MakeNamedPipe((Temp_ / "dest/") + name)) GTEST_SKIP() << "no named pipes in this file system";
  TBodyBuilder b;
  b.File("pipe", "data");
  b.File("f", "inner", b.Folder("folder"));
  b.Stored(3, "datainner");
  EXPECT_EQ(Unpack(b), srDone);
  EXPECT_EQ(ReadTree(Temp_ / "dest"),
            (TTree{{"pipe", "data"}, {"folder", "<folder>"}, {"folder/f", "inner"}}));
}

TEST_F(UnpackSafetyTest, FileWithAnotherNameOutsideIsReplacedNotWrittenThrough) {
  const fs::path outside = Temp_ / "outside.txt";
  WriteText(outside, "keep");
  fs::create_directories(Temp_ / "dest/");
  fs::create_hard_link(outside, Temp_ / "dest/f");
  TBodyBuilder b;
  b.File("f", "new");
  b.Stored(1, "new");
  EXPECT_EQ(Unpack(b), srDone);
  EXPECT_EQ(ReadText(outside), "keep");
  EXPECT_EQ(ReadText(Temp_ / "dest/f"), "new");
}

}  // namespace
}  // namespace qel::test
