// Loopback sockets over POSIX sockets; none is inherited by a child process.
#include "LoopbackSocket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>
#include <utility>
#include <vector>

namespace qel::test {
namespace {

sockaddr_in LoopbackAddress(uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

int Fd(intptr_t handle) { return static_cast<int>(handle); }

}  // namespace

TLoopbackSocket TLoopbackSocket::Open() {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) throw std::runtime_error("no socket for a loopback server");
  return TLoopbackSocket(fd);
}

TLoopbackSocket::~TLoopbackSocket() {
  if (Valid()) close(Fd(Handle_));
}

TLoopbackSocket::TLoopbackSocket(TLoopbackSocket&& other) noexcept : Handle_(std::exchange(other.Handle_, -1)) {}

TLoopbackSocket& TLoopbackSocket::operator=(TLoopbackSocket&& other) noexcept {
  if (this != &other) {
    if (Valid()) close(Fd(Handle_));
    Handle_ = std::exchange(other.Handle_, -1);
  }
  return *this;
}

bool TLoopbackSocket::Valid() const { return Handle_ >= 0; }

bool TLoopbackSocket::Bind(uint16_t port) {
  const sockaddr_in address = LoopbackAddress(port);
  return bind(Fd(Handle_), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

bool TLoopbackSocket::Listen(int backlog) { return listen(Fd(Handle_), backlog) == 0; }

bool TLoopbackSocket::Connect(uint16_t port) {
  const sockaddr_in address = LoopbackAddress(port);
  return connect(Fd(Handle_), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

TLoopbackSocket TLoopbackSocket::Accept() { return TLoopbackSocket(accept4(Fd(Handle_), nullptr, nullptr, SOCK_CLOEXEC)); }

uint16_t TLoopbackSocket::Port() const {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  if (getsockname(Fd(Handle_), reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
  return ntohs(address.sin_port);
}

long TLoopbackSocket::Send(std::string_view bytes) {
  // A peer that went away is a failed send, not a SIGPIPE.
  return send(Fd(Handle_), bytes.data(), bytes.size(), MSG_NOSIGNAL);
}

long TLoopbackSocket::Receive(char* buffer, size_t size) { return recv(Fd(Handle_), buffer, size, 0); }

void TLoopbackSocket::Shutdown() { shutdown(Fd(Handle_), SHUT_RDWR); }

int AwaitReadable(std::initializer_list<const TLoopbackSocket*> sockets, int timeout_ms) {
  std::vector<pollfd> waits;
  for (const TLoopbackSocket* socket : sockets) waits.push_back({Fd(socket->Handle_), POLLIN, 0});
  if (poll(waits.data(), waits.size(), timeout_ms) <= 0) return -1;
  for (size_t i = 0; i < waits.size(); ++i) {
    if (waits[i].revents != 0) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace qel::test
