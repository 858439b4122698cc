#include "platform/FolderRemoval.h"

#include <fcntl.h>
#include <linux/capability.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "TempFolder.h"

namespace qel {
namespace {

namespace fs = std::filesystem;
using fs::perms;

// Drops, for the calling thread only, the capabilities that let root pass
// over file permissions.
bool DropPermissionOverrides() {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
  if (syscall(SYS_capget, &header, data) != 0) return false;
  for (const int capability : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER})
    data[CAP_TO_INDEX(capability)].effective &= ~CAP_TO_MASK(capability);
  return syscall(SYS_capset, &header, data) == 0;
}

class FolderRemovalTest : public testing::Test {
 protected:
  std::string MakeFolder(const std::string& path) {
    fs::create_directory(path);
    return path;
  }
  void MakeFile(const std::string& path, perms permissions = perms::owner_read) {
    test::PutFile(path, "content of " + path);
    fs::permissions(path, permissions, fs::perm_options::replace);
  }

  // DeleteTree as an ordinary user meets it: on a thread without root's
  // permission overrides. False when permissions cannot be made to count.
  bool DeleteTreeUnderPermissionChecks(const std::string& folder, bool& deleted) {
    const std::string probe = Scratch / "probe";
    MakeFile(probe, perms::none);
    bool checked = false;
    std::thread worker([&] {
      if (geteuid() == 0 && !DropPermissionOverrides()) return;
      const int fd = open(probe.c_str(), O_RDONLY | O_CLOEXEC);
      if (fd >= 0) {
        close(fd);
        return;
      }
      checked = errno == EACCES;
      if (checked) deleted = DeleteTree(folder);
    });
    worker.join();
    fs::remove(probe);
    return checked;
  }

  test::TTempFolder Scratch;
};

TEST_F(FolderRemovalTest, RemovesANestedTreeWithReadOnlyEntries) {
  const std::string game = MakeFolder(Scratch / "game/");
  MakeFile(game + "game.bin");
  MakeFolder(game + "data/");
  MakeFile(game + "data/level1.pak", perms::owner_read | perms::group_read);
  MakeFolder(game + "data/maps/");
  MakeFile(game + "data/maps/one.map");
  MakeFolder(game + "data/empty/");
  fs::permissions(game + "data/empty/", perms::owner_read, fs::perm_options::replace);
  MakeFolder(game + "locked/");
  MakeFile(game + "locked/key");
  fs::permissions(game + "locked/", perms::none, fs::perm_options::replace);
  fs::permissions(game + "data/maps/", perms::owner_read | perms::owner_exec, fs::perm_options::replace);
  fs::permissions(game + "data/", perms::owner_read | perms::owner_exec, fs::perm_options::replace);
  fs::permissions(game, perms::owner_read | perms::owner_exec, fs::perm_options::replace);
  // A neighbour whose name begins the same way stays.
  const std::string neighbour = MakeFolder(Scratch / "game2/");
  MakeFile(neighbour + "keep");

  bool deleted = false;
  if (!DeleteTreeUnderPermissionChecks(game, deleted))
    GTEST_SKIP() << "file permissions cannot be made to apply to this thread";
  EXPECT_TRUE(deleted);
  EXPECT_FALSE(fs::exists(fs::symlink_status(Scratch / "game")));
  EXPECT_TRUE(fs::exists(neighbour + "keep"));
}

TEST_F(FolderRemovalTest, RemovesLinksButNotWhatTheyPointTo) {
  const std::string outside = MakeFolder(Scratch / "outside/");
  MakeFile(outside + "file");
  MakeFolder(outside + "folder/");
  MakeFile(outside + "folder/inner");
  // Read-only, so that a deletion that followed the link would first change it.
  fs::permissions(outside + "folder/", perms::owner_read | perms::owner_exec, fs::perm_options::replace);

  const std::string game = MakeFolder(Scratch / "game/");
  MakeFolder(game + "sub/");
  fs::create_symlink(outside + "file", game + "file-link");
  fs::create_directory_symlink(outside + "folder", game + "sub/folder-link");
  fs::create_symlink(Scratch / "nowhere", game + "dangling-link");

  EXPECT_TRUE(DeleteTree(game));
  EXPECT_FALSE(fs::exists(fs::symlink_status(Scratch / "game")));
  EXPECT_EQ(test::FileContent(outside + "file"), "content of " + outside + "file");
  EXPECT_EQ(test::FileContent(outside + "folder/inner"), "content of " + outside + "folder/inner");
  EXPECT_EQ(fs::status(outside + "folder").permissions(), perms::owner_read | perms::owner_exec);
}

TEST_F(FolderRemovalTest, AFolderPathThatIsALinkRemovesNothing) {
  const std::string real = MakeFolder(Scratch / "real/");
  MakeFile(real + "file");
  fs::create_directory_symlink(Scratch / "real", Scratch / "link");

  EXPECT_FALSE(DeleteTree(Scratch / "link/"));
  EXPECT_FALSE(DeleteTree(Scratch / "link"));
  EXPECT_TRUE(fs::is_symlink(Scratch / "link"));
  EXPECT_TRUE(fs::exists(real + "file"));
}

TEST_F(FolderRemovalTest, WhatIsNoRemovableFolderAnswersFalseAndStays) {
  EXPECT_FALSE(DeleteTree(Scratch / "missing/"));
  EXPECT_FALSE(DeleteTree(Scratch / "missing/deeper/"));

  MakeFile(Scratch / "file");
  EXPECT_FALSE(DeleteTree(Scratch / "file/"));
  EXPECT_TRUE(fs::exists(Scratch / "file"));

  const std::string sub = MakeFolder(Scratch / "sub/");
  MakeFile(sub + "inside");
  EXPECT_FALSE(DeleteTree(sub + "./"));
  EXPECT_FALSE(DeleteTree(sub + "../"));
  EXPECT_TRUE(fs::exists(sub + "inside"));
  EXPECT_TRUE(fs::exists(Scratch / "file"));
}

// Sets the immutable flag, which nobody can delete through, and clears it
// again at the end.
class TImmutableFile {
 public:
  explicit TImmutableFile(const std::string& path) : Path_(path) { Set_ = SetFlag(true); }
  ~TImmutableFile() {
    if (Set_) SetFlag(false);
  }
  TImmutableFile(const TImmutableFile&) = delete;
  TImmutableFile& operator=(const TImmutableFile&) = delete;
  bool IsSet() const { return Set_; }

 private:
  bool SetFlag(bool on) {
    const int fd = open(Path_.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return false;
    int flags = 0;
    bool done = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (done) {
      flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
      done = ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    close(fd);
    return done;
  }

  std::string Path_;
  bool Set_ = false;
};

constexpr const char* kNoImmutableFlag =
    "the immutable flag (root on a file system that has it) is the only entry nobody can delete";

TEST_F(FolderRemovalTest, TheFirstEntryThatCannotGoStopsTheDeletion) {
  const std::string game = MakeFolder(Scratch / "game/");
  for (int i = 0; i < 12; ++i) MakeFile(game + "file" + std::to_string(i));
  // The order in which the folder lists its entries is the order of deletion.
  std::vector<std::string> listed;
  for (const fs::directory_entry& entry : fs::directory_iterator(game))
    listed.push_back(entry.path().filename().string());
  const size_t stuck = listed.size() / 2;
  TImmutableFile immutable(game + listed[stuck]);
  if (!immutable.IsSet()) GTEST_SKIP() << kNoImmutableFlag;

  EXPECT_FALSE(DeleteTree(game));
  std::vector<std::string> left;
  for (const fs::directory_entry& entry : fs::directory_iterator(game))
    left.push_back(entry.path().filename().string());
  EXPECT_EQ(left, std::vector<std::string>(listed.begin() + static_cast<std::ptrdiff_t>(stuck), listed.end()));
}

TEST_F(FolderRemovalTest, AnEntryThatCannotGoInASubfolderKeepsItsParents) {
  const std::string game = MakeFolder(Scratch / "game/");
  MakeFolder(game + "sub/");
  MakeFile(game + "sub/stuck");
  TImmutableFile immutable(game + "sub/stuck");
  if (!immutable.IsSet()) GTEST_SKIP() << kNoImmutableFlag;

  EXPECT_FALSE(DeleteTree(game));
  EXPECT_TRUE(fs::exists(game + "sub/stuck"));
}

}  // namespace
}  // namespace qel
