// Where the named objects' files live on POSIX systems, and what folder is
// refused there.
#include "platform/posix/RuntimeFolder.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "TempFolder.h"
#include "platform/Error.h"

namespace qel {
namespace {

namespace fs = std::filesystem;

TEST(RuntimeFolderTest, TheUsersRuntimeFolderElseAFolderOfTheUserUnderTmp) {
  TRuntimeFolderPlace place;
  place.Uid = 1000;
  place.XdgRuntimeDir = "/run/user/1000";
  EXPECT_EQ(RuntimeFolderPath(place), "/run/user/1000/qelgame");
  place.XdgRuntimeDir = "";
  EXPECT_EQ(RuntimeFolderPath(place), "/tmp/qelgame-1000");
  place.XdgRuntimeDir = "relative/run";  // invalid, so ignored
  EXPECT_EQ(RuntimeFolderPath(place), "/tmp/qelgame-1000");
}

class PrivateFolderTest : public testing::Test {
 protected:
  const uint32_t Uid_ = CurrentRuntimeFolderPlace().Uid;
  test::TTempFolder Base_;
};

TEST_F(PrivateFolderTest, AMissingFolderIsCreatedClosedToOthers) {
  const std::string path = Base_ / "qelgame";
  EXPECT_TRUE(OpenPrivateFolder(path, Uid_).Valid());
  EXPECT_EQ(fs::status(path).permissions(), fs::perms::owner_all);
  // And used again as it is.
  EXPECT_TRUE(OpenPrivateFolder(path, Uid_).Valid());
}

TEST_F(PrivateFolderTest, AFolderThatIsNotTheUsersOwnIsRefused) {
  const std::string path = Base_ / "qelgame";
  ASSERT_TRUE(OpenPrivateFolder(path, Uid_).Valid());
  EXPECT_THROW(OpenPrivateFolder(path, Uid_ + 1), EQelError);

  fs::create_directory_symlink(path, Base_ / "link");
  EXPECT_THROW(OpenPrivateFolder(Base_ / "link", Uid_), EQelError);

  fs::permissions(path, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
  EXPECT_THROW(OpenPrivateFolder(path, Uid_), EQelError);
  fs::permissions(path, fs::perms::owner_all | fs::perms::others_write);
  EXPECT_THROW(OpenPrivateFolder(path, Uid_), EQelError);

  test::PutFile(Base_ / "file", "");
  EXPECT_THROW(OpenPrivateFolder(Base_ / "file", Uid_), EQelError);
  EXPECT_THROW(OpenPrivateFolder(Base_ / "missing/qelgame", Uid_), EQelError);
}

TEST(ObjectFileNameTest, PlainBytesStayOthersAreEscapedAndLongNamesEndWithTheirDigest) {
  EXPECT_EQ(ObjectFileName("Az09._-", ".mutex"), "Az09._-.mutex");
  EXPECT_EQ(ObjectFileName("a/b c%", ".mutex"), "a%2Fb%20c%25.mutex");
  EXPECT_EQ(ObjectFileName("..", ".semaphore"), "...semaphore");
  EXPECT_EQ(ObjectFileName(std::string("\0\xFF", 2), ""), "%00%FF");

  const std::string kept(200, 'k');
  EXPECT_EQ(ObjectFileName(kept, ".m"), kept + ".m");
  const std::string cut = ObjectFileName(kept + "x", ".m");
  EXPECT_EQ(cut.size(), 120u + 1 + 64 + 2);
  EXPECT_EQ(cut.substr(0, 121), std::string(120, 'k') + "~");
  EXPECT_NE(cut, ObjectFileName(kept + "y", ".m"));
  // The cut never splits an escape.
  const std::string escaped = ObjectFileName(std::string(119, 'k') + std::string(100, '/'), "");
  EXPECT_EQ(escaped.substr(0, 120), std::string(119, 'k') + "~");
}

}  // namespace
}  // namespace qel
