// Loopback sockets over Winsock, started once for the process; none is
// inherited by a child process.
#include <winsock2.h>

#include <stdexcept>
#include <utility>
#include <vector>

#include "LoopbackSocket.h"

namespace qel::test {
namespace {

sockaddr_in LoopbackAddress(uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

SOCKET Native(intptr_t handle) { return static_cast<SOCKET>(handle); }

bool StartWinsock() {
  WSADATA data;
  return WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

}  // namespace

TLoopbackSocket TLoopbackSocket::Open() {
  static const bool started = StartWinsock();
  const SOCKET socket =
      started ? WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT)
              : INVALID_SOCKET;
  if (socket == INVALID_SOCKET) throw std::runtime_error("no socket for a loopback server");
  return TLoopbackSocket(static_cast<intptr_t>(socket));
}

TLoopbackSocket::~TLoopbackSocket() {
  if (Valid()) closesocket(Native(Handle_));
}

TLoopbackSocket::TLoopbackSocket(TLoopbackSocket&& other) noexcept : Handle_(std::exchange(other.Handle_, -1)) {}

TLoopbackSocket& TLoopbackSocket::operator=(TLoopbackSocket&& other) noexcept {
  if (this != &other) {
    if (Valid()) closesocket(Native(Handle_));
    Handle_ = std::exchange(other.Handle_, -1);
  }
  return *this;
}

bool TLoopbackSocket::Valid() const { return Native(Handle_) != INVALID_SOCKET; }

bool TLoopbackSocket::Bind(uint16_t port) {
  const sockaddr_in address = LoopbackAddress(port);
  return bind(Native(Handle_), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

bool TLoopbackSocket::Listen(int backlog) { return listen(Native(Handle_), backlog) == 0; }

bool TLoopbackSocket::Connect(uint16_t port) {
  const sockaddr_in address = LoopbackAddress(port);
  return connect(Native(Handle_), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

TLoopbackSocket TLoopbackSocket::Accept() {
  const SOCKET connection = accept(Native(Handle_), nullptr, nullptr);
  return TLoopbackSocket(connection == INVALID_SOCKET ? -1 : static_cast<intptr_t>(connection));
}

uint16_t TLoopbackSocket::Port() const {
  sockaddr_in address{};
  int length = sizeof address;
  if (getsockname(Native(Handle_), reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
  return ntohs(address.sin_port);
}

long TLoopbackSocket::Send(std::string_view bytes) {
  return send(Native(Handle_), bytes.data(), static_cast<int>(bytes.size()), 0);
}

long TLoopbackSocket::Receive(char* buffer, size_t size) {
  return recv(Native(Handle_), buffer, static_cast<int>(size), 0);
}

void TLoopbackSocket::Shutdown() { shutdown(Native(Handle_), SD_BOTH); }

int AwaitReadable(std::initializer_list<const TLoopbackSocket*> sockets, int timeout_ms) {
  std::vector<WSAPOLLFD> waits;
  for (const TLoopbackSocket* socket : sockets) waits.push_back({Native(socket->Handle_), POLLRDNORM, 0});
  if (WSAPoll(waits.data(), static_cast<ULONG>(waits.size()), timeout_ms) <= 0) return -1;
  for (size_t i = 0; i < waits.size(); ++i) {
    if (waits[i].revents != 0) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace qel::test
