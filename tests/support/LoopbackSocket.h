// TCP sockets on 127.0.0.1 for the test servers: the few calls they make,
// over the system's own sockets (tests/support/<system>/LoopbackSocket.cc).
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string_view>

namespace qel::test {

class TLoopbackSocket {
 public:
  // No socket.
  TLoopbackSocket() = default;
  // A new TCP socket; raises std::runtime_error when the system has none.
  static TLoopbackSocket Open();
  ~TLoopbackSocket();
  TLoopbackSocket(TLoopbackSocket&& other) noexcept;
  TLoopbackSocket& operator=(TLoopbackSocket&& other) noexcept;
  TLoopbackSocket(const TLoopbackSocket&) = delete;
  TLoopbackSocket& operator=(const TLoopbackSocket&) = delete;

  bool Valid() const;
  // 127.0.0.1 at `port`; 0 lets the system choose (Port() tells which).
  bool Bind(uint16_t port);
  bool Listen(int backlog);
  bool Connect(uint16_t port);
  // The next connection; an invalid socket when accepting failed.
  TLoopbackSocket Accept();
  // The local port.
  uint16_t Port() const;
  // Bytes sent or received; 0 at the peer's end, negative on failure.
  long Send(std::string_view bytes);
  long Receive(char* buffer, size_t size);
  // Ends both directions: a thread blocked on the socket returns.
  void Shutdown();

 private:
  explicit TLoopbackSocket(intptr_t handle) : Handle_(handle) {}
  friend int AwaitReadable(std::initializer_list<const TLoopbackSocket*> sockets, int timeout_ms);

  intptr_t Handle_ = -1;
};

// Waits until one of `sockets` can be read (or accepted from, or has ended):
// its index, or -1 after `timeout_ms` (negative: no limit) or on failure.
int AwaitReadable(std::initializer_list<const TLoopbackSocket*> sockets, int timeout_ms);

}  // namespace qel::test
