// Datagrams to a window's copy-data listener exactly as a test builds them,
// well-formed or not, with descriptors attached if it likes: for checking
// what the listener makes of what no honest sender would send.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "platform/WindowHandle.h"

namespace qel::test {

// A descriptor the test owns; closed when it goes.
class OwnedDescriptor {
 public:
  explicit OwnedDescriptor(int fd = -1) : fd_(fd) {}
  ~OwnedDescriptor();
  OwnedDescriptor(OwnedDescriptor&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  OwnedDescriptor(const OwnedDescriptor&) = delete;
  OwnedDescriptor& operator=(const OwnedDescriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// The datagram header (sender, tag, stated size) followed by `body`.
std::vector<uint8_t> Datagram(uint64_t sender, uint32_t tag, uint32_t size,
                              std::span<const uint8_t> body = {});
// Sends it to the window's listener; false when nobody listens.
bool SendRawDatagram(uint64_t window, std::span<const uint8_t> datagram,
                     std::span<const int> descriptors = {});

// A memory file holding `bytes`.
OwnedDescriptor MemoryFileWith(std::span<const uint8_t> bytes);
// The read end of a pipe whose write end stays open: reading it would block.
struct Pipe {
  OwnedDescriptor read;
  OwnedDescriptor write;
};
Pipe OpenPipe();
// The descriptors this process has open now.
int OpenDescriptorCount();

}  // namespace qel::test
