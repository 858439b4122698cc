// Where the named objects' files live on POSIX systems, and what folder is
// refused there.
#include "platform/posix/ObjectFileName.h"
#include "platform/posix/RuntimeFolder.h"

#include <gtest/gtest.h>
#include <unistd.h>

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

class RuntimeFolderChoiceTest : public testing::Test {
 protected:
  RuntimeFolderChoiceTest() {
    fs::create_directories(Base_ / "tmp");
    Place_.TempBase = Base_ / "tmp";
    Place_.CacheHome = Base_ / "home/.cache";
    Place_.Uid = CurrentRuntimeFolderPlace().Uid;
  }
  std::string TmpFolder() const { return Place_.TempBase + "/qelgame-" + std::to_string(Place_.Uid); }
  std::string CacheFolder() const { return Place_.CacheHome + "/qelgame-runtime"; }

  test::TTempFolder Base_;
  TRuntimeFolderPlace Place_;
};

TEST_F(RuntimeFolderChoiceTest, TheRuntimeFolderWinsThenTmpAndNothingIsMadeInTheCacheHomeUnneeded) {
  fs::create_directories(Base_ / "run");
  fs::permissions(Base_ / "run", fs::perms::owner_all);
  Place_.XdgRuntimeDir = Base_ / "run";
  EXPECT_EQ(OpenRuntimeFolder(Place_).Path, Base_ / "run/qelgame");
  // A runtime folder that is gone or relative is passed over.
  for (const std::string& unusable : {Base_ / "gone", std::string("run")}) {
    Place_.XdgRuntimeDir = unusable;
    EXPECT_EQ(OpenRuntimeFolder(Place_).Path, TmpFolder());
  }
  EXPECT_FALSE(fs::exists(Place_.CacheHome));
}

TEST_F(RuntimeFolderChoiceTest, AFolderAnotherUserMadeUnderTmpFirstSendsEveryInstanceToTheCacheHome) {
  // As a second account would: the name under /tmp taken first, its own and closed.
  fs::create_directory(TmpFolder());
  fs::permissions(TmpFolder(), fs::perms::owner_all);
  if (::chown(TmpFolder().c_str(), Place_.Uid + 1, static_cast<gid_t>(-1)) != 0)
    GTEST_SKIP() << "making a folder of another user needs root";

  const TRuntimeFolder first = OpenRuntimeFolder(Place_);
  EXPECT_EQ(first.Path, CacheFolder());
  EXPECT_TRUE(first.Folder.Valid());
  EXPECT_EQ(fs::status(CacheFolder()).permissions(), fs::perms::owner_all);
  // The other account gives the name up: a browser started now still
  // agrees with the first one.
  fs::remove(TmpFolder());
  EXPECT_EQ(OpenRuntimeFolder(Place_).Path, CacheFolder());
  EXPECT_FALSE(fs::exists(TmpFolder()));
}

TEST_F(RuntimeFolderChoiceTest, WithoutAnyPrivatePlaceEachRefusalIsNamed) {
  fs::create_directory(TmpFolder());
  fs::permissions(TmpFolder(), fs::perms::all);
  Place_.CacheHome.clear();
  try {
    OpenRuntimeFolder(Place_);
    ADD_FAILURE() << "a folder open to all was used";
  } catch (const EQelError& failure) {
    EXPECT_NE(std::string(failure.what()).find(TmpFolder() + " is open to other users"), std::string::npos)
        << failure.what();
  }
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
