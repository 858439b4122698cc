// One test per rule that keeps a pack from writing outside its destination
// folder, whatever mistake the publisher's tool made.
#include <gtest/gtest.h>

#include "PackTestKit.h"
#include "pack/DirectoryUnpacker.h"

namespace qel::test {
namespace {

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
                                         std::string("a\0b", 3), std::string("a\0\0/x", 5)));

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

TEST_F(UnpackSafetyTest, FolderEntryThatExistsAsALinkFails) {
  const fs::path outside = Temp_ / "outside";
  fs::create_directories(outside);
  fs::create_directories((Temp_ / "dest/"));
  fs::create_directory_symlink(outside, (Temp_ / "dest/") + "dir");
  TBodyBuilder b;
  b.File("f", "evil", b.Folder("dir"));
  b.Stored(2, "evil");
  EXPECT_EQ(Unpack(b), srFailed);
  EXPECT_TRUE(fs::is_empty(outside));
}

TEST_F(UnpackSafetyTest, ExtractingAFileThroughASymlinkFails) {
  const fs::path outside = Temp_ / "outside.txt";
  WriteText(outside, "keep");
  fs::create_directories((Temp_ / "dest/"));
  fs::create_symlink(outside, (Temp_ / "dest/") + "f");
  TBodyBuilder b;
  b.File("f", "evil");
  b.Stored(1, "evil");
  EXPECT_EQ(Unpack(b), srFailed);
  EXPECT_EQ(ReadText(outside), "keep");
}

}  // namespace
}  // namespace qel::test
