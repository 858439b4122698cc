#include "platform/CopyData.h"

#include <fcntl.h>
#include <glib-unix.h>
#include <glib.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <string>

#include "platform/Error.h"
#include "platform/LastResort.h"
#include "platform/posix/CopyDataWire.h"

namespace qel {
namespace {

// A listener hands at most this many blocks to its handler per turn of the
// loop, so that a flood of them cannot starve the rest of the loop.
constexpr int kMostBlocksPerTurn = 64;
// Descriptors a datagram may carry before it is cut (and dropped).
constexpr size_t kMostDescriptors = 4;

class TFd {
 public:
  explicit TFd(int fd = -1) : Fd_(fd) {}
  ~TFd() {
    if (Fd_ >= 0) close(Fd_);
  }
  TFd(TFd&& other) noexcept : Fd_(other.release()) {}
  TFd& operator=(TFd&& other) noexcept {
    if (this != &other) {
      TFd old(Fd_);
      Fd_ = other.release();
    }
    return *this;
  }
  TFd(const TFd&) = delete;
  TFd& operator=(const TFd&) = delete;
  int get() const { return Fd_; }
  int release() {
    const int fd = Fd_;
    Fd_ = -1;
    return fd;
  }
  explicit operator bool() const { return Fd_ >= 0; }

 private:
  int Fd_;
};

struct TAddress {
  sockaddr_un Un{};
  socklen_t Length = 0;
};

TAddress AddressOf(TWindowHandle window) {
  const std::string name = CopyDataAddress(window);
  TAddress address;
  address.Un.sun_family = AF_UNIX;
  // Abstract namespace: a leading NUL, then the name without a terminator.
  const size_t room = sizeof address.Un.sun_path - 1;
  const size_t length = name.size() < room ? name.size() : room;
  std::memcpy(address.Un.sun_path + 1, name.data(), length);
  address.Length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + length);
  return address;
}

TFd NewDatagramSocket() {
  return TFd(socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
}

int64_t NowMs() { return g_get_monotonic_time() / 1000; }

// A memory file holding the block, for blocks too large for one datagram.
TFd BlockFile(std::span<const uint8_t> block) {
  TFd file(memfd_create("qel-copydata", MFD_CLOEXEC));
  if (!file) return file;
  size_t written = 0;
  while (written < block.size()) {
    const ssize_t n = write(file.get(), block.data() + written, block.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return TFd();
    written += static_cast<size_t>(n);
  }
  return file;
}

// Sends the prepared datagram, waiting for room in the listener's queue until
// the deadline.
bool SendUntil(int fd, const msghdr& message, size_t expected, int64_t deadline_ms) {
  for (;;) {
    const ssize_t n = sendmsg(fd, &message, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n >= 0) return static_cast<size_t>(n) == expected;
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) return false;
    const int64_t remaining = deadline_ms - NowMs();
    if (remaining <= 0) return false;
    // A connected datagram socket becomes writable when the peer's queue has room.
    pollfd waiting{fd, POLLOUT, 0};
    if (poll(&waiting, 1, static_cast<int>(remaining)) < 0 && errno != EINTR) return false;
  }
}

// Reads exactly `size` bytes of a received memory file.
bool ReadBlockFile(int fd, uint32_t size, std::vector<uint8_t>& block) {
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return false;
  if (info.st_size != static_cast<off_t>(size)) return false;
  block.resize(size);
  size_t done = 0;
  while (done < size) {
    // pread, not mmap: a sender that shrinks the file cannot fault the reader.
    const ssize_t n = pread(fd, block.data() + done, size - done, static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

bool SendCopyData(TWindowHandle target, TWindowHandle sender, uint32_t tag,
                  std::span<const uint8_t> block, int timeout_ms) {
  if (target == 0 || block.size() > kLargestCopyData) return false;
  const int64_t deadline = NowMs() + (timeout_ms > 0 ? timeout_ms : 0);
  TFd fd = NewDatagramSocket();
  if (!fd) return false;
  const TAddress address = AddressOf(target);
  // Fails at once when nobody listens for the window.
  if (connect(fd.get(), reinterpret_cast<const sockaddr*>(&address.Un), address.Length) != 0)
    return false;

  TCopyDataHeader header{sender, tag, static_cast<uint32_t>(block.size())};
  iovec parts[2] = {{&header, sizeof header}, {const_cast<uint8_t*>(block.data()), block.size()}};
  msghdr message{};
  message.msg_iov = parts;
  message.msg_iovlen = 2;
  size_t expected = sizeof header + block.size();

  TFd file;
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
  if (block.size() > kInlineCopyData) {
    file = BlockFile(block);
    if (!file) return false;
    message.msg_iovlen = 1;
    expected = sizeof header;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    cmsghdr* rights = CMSG_FIRSTHDR(&message);
    rights->cmsg_level = SOL_SOCKET;
    rights->cmsg_type = SCM_RIGHTS;
    rights->cmsg_len = CMSG_LEN(sizeof(int));
    const int descriptor = file.get();
    std::memcpy(CMSG_DATA(rights), &descriptor, sizeof descriptor);
  }
  return SendUntil(fd.get(), message, expected, deadline);
}

struct TCopyDataListener::TReceived {
  bool Valid = false;
  TWindowHandle Sender = 0;
  uint32_t Tag = 0;
  std::vector<uint8_t> Block;
};

TCopyDataListener::TCopyDataListener(TWindowHandle window, TCopyDataHandler handler)
    : Window_(window), Handler_(std::move(handler)) {
  if (window == 0) throw EQelError("No window to receive copy-data messages for");
  TFd fd = NewDatagramSocket();
  if (!fd) throw EQelError(std::string("Cannot create a copy-data socket: ") + strerror(errno));
  // The sender's credentials come with every datagram: only the user's own
  // processes are heard.
  const int on = 1;
  if (setsockopt(fd.get(), SOL_SOCKET, SO_PASSCRED, &on, sizeof on) != 0)
    throw EQelError(std::string("Cannot ask for copy-data credentials: ") + strerror(errno));
  const TAddress address = AddressOf(window);
  if (bind(fd.get(), reinterpret_cast<const sockaddr*>(&address.Un), address.Length) != 0)
    throw EQelError("Cannot receive copy-data messages for window " + std::to_string(window) +
                    ": " + strerror(errno));
  Datagram_.resize(sizeof(TCopyDataHeader) + kInlineCopyData);
  Socket_ = fd.release();
  SourceId_ = g_unix_fd_add(
      Socket_, G_IO_IN,
      [](gint, GIOCondition, gpointer self) -> gboolean { return OnReadable(self); }, this);
}

TCopyDataListener::~TCopyDataListener() {
  if (SourceId_ != 0) g_source_remove(SourceId_);
  if (Socket_ >= 0) close(Socket_);
}

bool TCopyDataListener::ReceiveOne(TReceived& received) {
  received = {};
  iovec part{Datagram_.data(), Datagram_.size()};
  alignas(
      cmsghdr) char control[CMSG_SPACE(sizeof(ucred)) + CMSG_SPACE(sizeof(int) * kMostDescriptors)];
  msghdr message{};
  message.msg_iov = &part;
  message.msg_iovlen = 1;
  message.msg_control = control;
  message.msg_controllen = sizeof control;
  ssize_t n;
  do {
    n = recvmsg(Socket_, &message, MSG_DONTWAIT | MSG_CMSG_CLOEXEC);
  } while (n < 0 && errno == EINTR);
  if (n < 0) return false;

  // Every descriptor that came along is closed, whatever becomes of the datagram.
  std::vector<TFd> descriptors;
  bool sameUser = false;
  for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
    if (c->cmsg_level != SOL_SOCKET) continue;
    if (c->cmsg_type == SCM_RIGHTS) {
      const size_t count = (c->cmsg_len - CMSG_LEN(0)) / sizeof(int);
      for (size_t i = 0; i < count; ++i) {
        int descriptor;
        std::memcpy(&descriptor, CMSG_DATA(c) + i * sizeof(int), sizeof descriptor);
        descriptors.emplace_back(descriptor);
      }
    } else if (c->cmsg_type == SCM_CREDENTIALS && c->cmsg_len >= CMSG_LEN(sizeof(ucred))) {
      ucred credentials;
      std::memcpy(&credentials, CMSG_DATA(c), sizeof credentials);
      sameUser = credentials.uid == getuid();
    }
  }
  if (!sameUser || (message.msg_flags & (MSG_TRUNC | MSG_CTRUNC)) != 0) return true;
  if (static_cast<size_t>(n) < sizeof(TCopyDataHeader)) return true;

  TCopyDataHeader header;
  std::memcpy(&header, Datagram_.data(), sizeof header);
  if (header.Size > kLargestCopyData) return true;
  if (descriptors.empty()) {
    if (static_cast<size_t>(n) != sizeof header + header.Size) return true;
    received.Block.assign(Datagram_.begin() + sizeof header, Datagram_.begin() + n);
  } else {
    if (descriptors.size() != 1 || static_cast<size_t>(n) != sizeof header) return true;
    if (!ReadBlockFile(descriptors.front().get(), header.Size, received.Block)) return true;
  }
  received.Valid = true;
  received.Sender = static_cast<TWindowHandle>(header.Sender);
  received.Tag = header.Tag;
  return true;
}

int TCopyDataListener::OnReadable(void* self) {
  // GLib holds this source until the callback returns, even when the handler
  // destroys the listener; then `self` must not be touched again.
  GSource* const source = g_main_current_source();
  auto* listener = static_cast<TCopyDataListener*>(self);
  for (int i = 0; i < kMostBlocksPerTurn; ++i) {
    TReceived received;
    if (!listener->ReceiveOne(received)) break;
    if (!received.Valid) continue;
    // A copy: the handler may destroy the listener, and with it Handler_.
    const TCopyDataHandler handler = listener->Handler_;
    try {
      if (handler) handler(received.Sender, received.Tag, received.Block);
    } catch (...) {
      ReportCurrentException();
    }
    if (g_source_is_destroyed(source)) return G_SOURCE_REMOVE;
  }
  return G_SOURCE_CONTINUE;
}

}  // namespace qel
