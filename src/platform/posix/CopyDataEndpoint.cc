// The copy-data datagrams themselves (CopyDataWire.h): no GLib here, the
// game-side channel library is built from this file too.
#include "platform/CopyDataEndpoint.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/Error.h"
#include "platform/posix/CopyDataSocketFile.h"
#include "platform/posix/CopyDataWire.h"
#include "platform/posix/FileDescriptor.h"

namespace qel {
namespace {

// Descriptors a datagram may carry before it is cut (and dropped).
constexpr size_t kMostDescriptors = 4;

TFileDescriptor NewDatagramSocket() {
  return TFileDescriptor(socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
}

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// A memory file holding the block, for blocks too large for one datagram.
TFileDescriptor BlockFile(std::span<const uint8_t> block) {
  TFileDescriptor file(memfd_create("qel-copydata", MFD_CLOEXEC));
  if (!file.Valid()) return file;
  size_t written = 0;
  while (written < block.size()) {
    const ssize_t n = write(file.Get(), block.data() + written, block.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return TFileDescriptor();
    written += static_cast<size_t>(n);
  }
  return file;
}

// Sends the prepared datagram, waiting for room in the receiver's queue until
// the deadline.
TCopyDataSent SendUntil(int fd, const msghdr& message, size_t expected, int64_t deadline_ms) {
  for (;;) {
    const ssize_t n = sendmsg(fd, &message, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n >= 0)
      return static_cast<size_t>(n) == expected ? TCopyDataSent::Taken : TCopyDataSent::Failed;
    if (errno == EINTR) continue;
    if (errno == ECONNREFUSED) return TCopyDataSent::NoReceiver;  // it went meanwhile
    if (errno != EAGAIN && errno != EWOULDBLOCK) return TCopyDataSent::Failed;
    const int64_t remaining = deadline_ms - NowMs();
    if (remaining <= 0) return TCopyDataSent::TimedOut;
    // A connected datagram socket becomes writable when the peer's queue has room.
    pollfd waiting{fd, POLLOUT, 0};
    if (poll(&waiting, 1, static_cast<int>(remaining)) < 0 && errno != EINTR)
      return TCopyDataSent::Failed;
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

// The socket bound to the window's name, and the buffer that blocks sent
// inline are received into.
struct TCopyDataEndpoint::TState {
  ~TState() {
    File.reset();  // while the socket still holds it
    if (Socket >= 0) close(Socket);
  }

  int Socket = -1;
  std::unique_ptr<TCopyDataSocketFile> File;
  std::vector<uint8_t> Datagram;
};

TCopyDataSent SendCopyDataTo(TWindowHandle target, TWindowHandle sender, uint32_t tag,
                             std::span<const uint8_t> block, int timeout_ms) {
  if (target == 0) return TCopyDataSent::NoReceiver;
  if (block.size() > kLargestCopyData) return TCopyDataSent::TooLarge;
  const int64_t deadline = NowMs() + (timeout_ms > 0 ? timeout_ms : 0);
  TFileDescriptor fd = NewDatagramSocket();
  if (!fd.Valid()) return TCopyDataSent::Failed;
  // Fails at once when nobody listens for the window, and before a byte
  // goes out when the socket found is not the user's own.
  int refusal;
  try {
    refusal = ConnectCopyDataSocket(fd.Get(), OpenCopyDataFolder(), CopyDataSocketName(target));
  } catch (const EQelError&) {
    return TCopyDataSent::Failed;  // no private folder to look in
  }
  if (refusal != 0)
    return refusal == ECONNREFUSED || refusal == ENOENT ? TCopyDataSent::NoReceiver
                                                        : TCopyDataSent::Failed;

  TCopyDataHeader header{sender, tag, static_cast<uint32_t>(block.size())};
  iovec parts[2] = {{&header, sizeof header}, {const_cast<uint8_t*>(block.data()), block.size()}};
  msghdr message{};
  message.msg_iov = parts;
  message.msg_iovlen = 2;
  size_t expected = sizeof header + block.size();

  TFileDescriptor file;
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
  if (block.size() > kInlineCopyData) {
    file = BlockFile(block);
    if (!file.Valid()) return TCopyDataSent::Failed;
    message.msg_iovlen = 1;
    expected = sizeof header;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    cmsghdr* rights = CMSG_FIRSTHDR(&message);
    rights->cmsg_level = SOL_SOCKET;
    rights->cmsg_type = SCM_RIGHTS;
    rights->cmsg_len = CMSG_LEN(sizeof(int));
    const int descriptor = file.Get();
    std::memcpy(CMSG_DATA(rights), &descriptor, sizeof descriptor);
  }
  return SendUntil(fd.Get(), message, expected, deadline);
}

TCopyDataEndpoint::TCopyDataEndpoint(TWindowHandle window)
    : Window_(window), State_(std::make_unique<TState>()) {
  if (window == 0) throw EQelError("No window to receive copy-data messages for");
  TFileDescriptor fd = NewDatagramSocket();
  if (!fd.Valid())
    throw EQelError(std::string("Cannot create a copy-data socket: ") + strerror(errno));
  // The sender's credentials come with every datagram: only the user's own
  // processes are heard.
  const int on = 1;
  if (setsockopt(fd.Get(), SOL_SOCKET, SO_PASSCRED, &on, sizeof on) != 0)
    throw EQelError(std::string("Cannot ask for copy-data credentials: ") + strerror(errno));
  State_->File = std::make_unique<TCopyDataSocketFile>(fd.Get(), CopyDataSocketName(window));
  State_->Datagram.resize(sizeof(TCopyDataHeader) + kInlineCopyData);
  State_->Socket = fd.Release();
}

TCopyDataEndpoint::~TCopyDataEndpoint() = default;

int TCopyDataEndpoint::WaitHandle() const { return State_->Socket; }

bool TCopyDataEndpoint::WaitForDatagram(int timeout_ms) {
  const int64_t deadline = NowMs() + timeout_ms;
  for (;;) {
    int wait = -1;
    if (timeout_ms >= 0) {
      const int64_t remaining = deadline - NowMs();
      wait = remaining > 0 ? static_cast<int>(remaining) : 0;
    }
    pollfd waiting{State_->Socket, POLLIN, 0};
    const int ready = poll(&waiting, 1, wait);
    if (ready > 0) return true;
    if (ready == 0 || errno != EINTR) return false;
  }
}

TCopyDataReceipt TCopyDataEndpoint::ReceiveOne(TCopyDataBlock& received) {
  received = {};
  std::vector<uint8_t>& datagram = State_->Datagram;
  iovec part{datagram.data(), datagram.size()};
  alignas(
      cmsghdr) char control[CMSG_SPACE(sizeof(ucred)) + CMSG_SPACE(sizeof(int) * kMostDescriptors)];
  msghdr message{};
  message.msg_iov = &part;
  message.msg_iovlen = 1;
  message.msg_control = control;
  message.msg_controllen = sizeof control;
  ssize_t n;
  do {
    n = recvmsg(State_->Socket, &message, MSG_DONTWAIT | MSG_CMSG_CLOEXEC);
  } while (n < 0 && errno == EINTR);
  if (n < 0) return TCopyDataReceipt::Nothing;

  std::vector<TFileDescriptor> descriptors;
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
      sameUser = credentials.uid == getuid();  // the folder's rights are not trusted alone
    }
  }
  if (!sameUser || (message.msg_flags & (MSG_TRUNC | MSG_CTRUNC)) != 0)
    return TCopyDataReceipt::Dropped;
  if (static_cast<size_t>(n) < sizeof(TCopyDataHeader)) return TCopyDataReceipt::Dropped;

  TCopyDataHeader header;
  std::memcpy(&header, datagram.data(), sizeof header);
  if (header.Size > kLargestCopyData) return TCopyDataReceipt::Dropped;
  if (descriptors.empty()) {
    if (static_cast<size_t>(n) != sizeof header + header.Size) return TCopyDataReceipt::Dropped;
    received.Bytes.assign(datagram.begin() + sizeof header, datagram.begin() + n);
  } else {
    if (descriptors.size() != 1 || static_cast<size_t>(n) != sizeof header)
      return TCopyDataReceipt::Dropped;
    if (!ReadBlockFile(descriptors.front().Get(), header.Size, received.Bytes))
      return TCopyDataReceipt::Dropped;
  }
  received.Sender = static_cast<TWindowHandle>(header.Sender);
  received.Tag = header.Tag;
  return TCopyDataReceipt::Block;
}

}  // namespace qel
