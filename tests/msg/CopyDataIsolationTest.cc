// Copy-data sockets belong to the user alone: another account can neither
// take a window's name, nor be sent its blocks, nor be heard by it. Playing
// that account needs root, to become it.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "RawDatagram.h"
#include "TestWindows.h"
#include "platform/CopyDataEndpoint.h"
#include "platform/posix/CopyDataSocketFile.h"
#include "platform/posix/CopyDataWire.h"

namespace qel::test {
namespace {

constexpr uint32_t kTag = 0x41424344;
constexpr uid_t kOtherUser = 65534;  // "nobody"

struct TUnixAddress {
  sockaddr_un Un{AF_UNIX, {}};
  socklen_t Length = sizeof(sa_family_t);
  const sockaddr* Get() const { return reinterpret_cast<const sockaddr*>(&Un); }
};

// A path, or with a leading NUL a name in the abstract namespace, where the
// sockets were once and anyone could bind a window's name.
TUnixAddress AddressOf(const std::string& name) {
  TUnixAddress address;
  EXPECT_LT(name.size(), sizeof address.Un.sun_path) << name;
  std::memcpy(address.Un.sun_path, name.data(), std::min(name.size(), sizeof address.Un.sun_path));
  address.Length += static_cast<socklen_t>(name.size()) + (name[0] != '\0');
  return address;
}

std::string FolderPath(const TFileDescriptor& folder, bool full) {
  const std::string link = "/proc/self/fd/" + std::to_string(folder.Get());
  char path[4096];
  const ssize_t n = full ? readlink(link.c_str(), path, sizeof path) : -1;
  return n > 0 ? std::string(path, static_cast<size_t>(n)) : link;
}

// Runs each step in a child that has become another user, one step per
// Next(), which answers the step's result.
class OtherUser {
 public:
  explicit OtherUser(std::vector<std::function<int()>> steps) {
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, talk_) != 0 || (child_ = fork()) != 0)
      return;
    if (setgroups(0, nullptr) != 0 || setresgid(kOtherUser, kOtherUser, kOtherUser) != 0 ||
        setresuid(kOtherUser, kOtherUser, kOtherUser) != 0)
      _exit(2);
    char go;
    for (auto& step : steps) {
      const int result = read(talk_[1], &go, 1) == 1 ? step() : -1;
      if (write(talk_[1], &result, sizeof result) != sizeof result) break;
    }
    _exit(0);
  }
  ~OtherUser() {
    close(talk_[0]);
    close(talk_[1]);
    if (child_ > 0) waitpid(child_, nullptr, 0);
  }
  std::optional<int> Next() {
    int result;
    if (child_ <= 0 || write(talk_[0], "g", 1) != 1 ||
        read(talk_[0], &result, sizeof result) != sizeof result)
      return std::nullopt;
    return result;
  }

 private:
  int talk_[2] = {-1, -1};
  pid_t child_ = -1;
};

// The next block off the endpoint, if one comes within a second.
std::optional<TCopyDataBlock> Received(TCopyDataEndpoint& endpoint) {
  TCopyDataBlock block;
  while (endpoint.WaitForDatagram(1000))
    if (endpoint.ReceiveOne(block) == TCopyDataReceipt::Block) return block;
  return std::nullopt;
}

#define SKIP_UNLESS_ROOT() \
  if (geteuid() != 0) GTEST_SKIP() << "becoming another user (uid 65534) needs root"

TEST(CopyDataOtherUserTest, CanNeitherTakeNorReachNorBeHeardByAWindow) {
  SKIP_UNLESS_ROOT();
  const TWindowHandle window = UniqueWindow();
  const std::string name = CopyDataSocketName(window);
  const TFileDescriptor folder = OpenCopyDataFolder();
  const TUnixAddress file = AddressOf(FolderPath(folder, true) + "/" + name);
  const TUnixAddress old = AddressOf(std::string(1, '\0') + "qel-copydata." +
                                     std::to_string(getuid()) + name.substr(12));
  const std::vector<uint8_t> page = {7, 7, 7};
  const auto theirs = Datagram(9, kTag, 1, std::vector<uint8_t>{6});
  const int squatter = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  const int handed = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  const auto attempt = [&](int (*call)(int, const sockaddr*, socklen_t), int s) {
    return call(s, file.Get(), file.Length) == 0 ? 0 : errno;
  };
  OtherUser other({
      [&] { return bind(squatter, old.Get(), old.Length) == 0 ? 0 : errno; },
      [&] { return attempt(bind, socket(AF_UNIX, SOCK_DGRAM, 0)); },
      [&] { return attempt(connect, socket(AF_UNIX, SOCK_DGRAM, 0)); },
      // A socket connected while it was root: only the credentials remain.
      [&] { return send(handed, theirs.data(), theirs.size(), 0) < 0 ? errno : 0; },
      [&] { return static_cast<int>(recv(squatter, nullptr, 0, MSG_DONTWAIT | MSG_TRUNC)); },
  });
  ASSERT_EQ(other.Next(), 0) << "the old abstract name was anyone's to bind";
  EXPECT_EQ(other.Next(), EACCES) << "the other account could bind the window's socket file";
  EXPECT_EQ(SendCopyDataTo(window, 1, kTag, page, 100), TCopyDataSent::NoReceiver);
  TCopyDataEndpoint game(window);  // binds whatever the other account holds
  EXPECT_EQ(other.Next(), EACCES) << "the other account reached the live listener";
  ASSERT_EQ(ConnectCopyDataSocket(handed, folder, name), 0);
  EXPECT_EQ(other.Next(), 0);
  ASSERT_EQ(SendCopyDataTo(window, 1, kTag, page, 1000), TCopyDataSent::Taken);
  EXPECT_EQ(other.Next(), -1) << "a block reached the other account";
  const std::optional<TCopyDataBlock> first = Received(game);
  ASSERT_TRUE(first.has_value());
  EXPECT_EQ(first->Bytes, page) << "the other account was heard";
  EXPECT_FALSE(Received(game).has_value());
  close(squatter);
  close(handed);
}

TEST(CopyDataOtherUserTest, NothingIsSentToASocketFileOfAnotherUser) {
  SKIP_UNLESS_ROOT();
  const TWindowHandle window = UniqueWindow();
  const TFileDescriptor folder = OpenCopyDataFolder();
  const std::string name = CopyDataSocketName(window);
  const TUnixAddress address = AddressOf(FolderPath(folder, false) + "/" + name);
  const int impostor = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  ASSERT_EQ(bind(impostor, address.Get(), address.Length), 0);
  ASSERT_EQ(fchownat(folder.Get(), name.c_str(), kOtherUser, kOtherUser, AT_SYMLINK_NOFOLLOW), 0);
  EXPECT_EQ(SendCopyDataTo(window, 1, kTag, std::vector<uint8_t>{1}, 100), TCopyDataSent::Failed);
  EXPECT_LT(recv(impostor, nullptr, 0, MSG_DONTWAIT), 0) << "a block reached another user's file";
  close(impostor);
  unlinkat(folder.Get(), name.c_str(), 0);
}

TEST(CopyDataSocketFileTest, AStaleFileIsReplacedALiveOneIsNotAndAClosedOneGoes) {
  const TWindowHandle window = UniqueWindow();
  const TFileDescriptor folder = OpenCopyDataFolder();
  const std::string name = CopyDataSocketName(window);
  const TUnixAddress address = AddressOf(FolderPath(folder, false) + "/" + name);
  const int crashed = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  ASSERT_EQ(bind(crashed, address.Get(), address.Length), 0);
  close(crashed);  // its file stays behind
  struct stat info {};
  {
    TCopyDataEndpoint game(window);
    EXPECT_THROW(TCopyDataEndpoint second(window), EWindowTaken);
    ASSERT_EQ(SendCopyDataTo(window, 1, kTag, std::vector<uint8_t>{5}, 1000), TCopyDataSent::Taken);
    EXPECT_TRUE(Received(game).has_value()) << "the live file went with the second listener";
  }
  EXPECT_NE(fstatat(folder.Get(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW), 0);
}

TEST(CopyDataSocketFileTest, ARuntimeFolderDeeperThanASocketPathIsUsable) {
  char base[] = "/tmp/qel-deep-XXXXXX";
  ASSERT_NE(mkdtemp(base), nullptr);
  std::string deep = base;
  while (deep.size() <= sizeof(sockaddr_un::sun_path))
    ASSERT_EQ(mkdir((deep += "/deeper").c_str(), 0700), 0);
  const char* before = std::getenv("XDG_RUNTIME_DIR");
  const std::string saved = before != nullptr ? before : "";
  setenv("XDG_RUNTIME_DIR", deep.c_str(), 1);
  {
    const TWindowHandle window = UniqueWindow();
    TCopyDataEndpoint game(window);
    EXPECT_EQ(SendCopyDataTo(window, 1, kTag, std::vector<uint8_t>{3}, 1000), TCopyDataSent::Taken);
    EXPECT_TRUE(Received(game).has_value());
    struct stat info {};
    EXPECT_EQ(stat((deep + "/qelgame/" + CopyDataSocketName(window)).c_str(), &info), 0);
  }
  before != nullptr ? setenv("XDG_RUNTIME_DIR", saved.c_str(), 1) : unsetenv("XDG_RUNTIME_DIR");
  EXPECT_EQ(std::system(("rm -rf '" + std::string(base) + "'").c_str()), 0);
}

}  // namespace
}  // namespace qel::test
