#include "RawDatagram.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>
#include <string>

#include "platform/posix/CopyDataSocketFile.h"
#include "platform/posix/CopyDataWire.h"

namespace qel::test {

OwnedDescriptor::~OwnedDescriptor() {
  if (fd_ >= 0) close(fd_);
}

std::vector<uint8_t> Datagram(uint64_t sender, uint32_t tag, uint32_t size,
                              std::span<const uint8_t> body) {
  TCopyDataHeader header{sender, tag, size};
  std::vector<uint8_t> bytes(sizeof header + body.size());
  std::memcpy(bytes.data(), &header, sizeof header);
  if (!body.empty()) std::memcpy(bytes.data() + sizeof header, body.data(), body.size());
  return bytes;
}

bool SendRawDatagram(uint64_t window, std::span<const uint8_t> datagram,
                     std::span<const int> descriptors) {
  OwnedDescriptor fd(socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  if (fd.get() < 0) return false;
  const TFileDescriptor folder = OpenCopyDataFolder();
  const std::string path = "/proc/self/fd/" + std::to_string(folder.Get()) + "/" +
                           CopyDataSocketName(static_cast<TWindowHandle>(window));
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size() + 1);

  iovec part{const_cast<uint8_t*>(datagram.data()), datagram.size()};
  msghdr message{};
  message.msg_name = &address;
  message.msg_namelen = length;
  message.msg_iov = &part;
  message.msg_iovlen = 1;
  std::vector<char> control;
  if (!descriptors.empty()) {
    control.resize(CMSG_SPACE(sizeof(int) * descriptors.size()));
    message.msg_control = control.data();
    message.msg_controllen = control.size();
    cmsghdr* rights = CMSG_FIRSTHDR(&message);
    rights->cmsg_level = SOL_SOCKET;
    rights->cmsg_type = SCM_RIGHTS;
    rights->cmsg_len = CMSG_LEN(sizeof(int) * descriptors.size());
    std::memcpy(CMSG_DATA(rights), descriptors.data(), sizeof(int) * descriptors.size());
  }
  return sendmsg(fd.get(), &message, MSG_NOSIGNAL) == static_cast<ssize_t>(datagram.size());
}

OwnedDescriptor MemoryFileWith(std::span<const uint8_t> bytes) {
  OwnedDescriptor file(memfd_create("raw-datagram", MFD_CLOEXEC));
  if (!bytes.empty() &&
      write(file.get(), bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
    return OwnedDescriptor();
  return file;
}

Pipe OpenPipe() {
  int ends[2] = {-1, -1};
  if (pipe2(ends, O_CLOEXEC) != 0) return {OwnedDescriptor(), OwnedDescriptor()};
  return {OwnedDescriptor(ends[0]), OwnedDescriptor(ends[1])};
}

int OpenDescriptorCount() {
  DIR* folder = opendir("/proc/self/fd");
  if (folder == nullptr) return -1;
  int count = 0;
  while (readdir(folder) != nullptr) ++count;
  closedir(folder);
  return count - 3;  // ".", ".." and the folder's own descriptor
}

}  // namespace qel::test
