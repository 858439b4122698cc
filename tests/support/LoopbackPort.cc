#include "LoopbackPort.h"

#include <stdexcept>

#include "LoopbackSocket.h"

namespace qel::test {

uint16_t PickFreeLoopbackPort() {
  TLoopbackSocket socket = TLoopbackSocket::Open();
  const uint16_t port = socket.Bind(0) ? socket.Port() : 0;
  if (port == 0) throw std::runtime_error("no free port on 127.0.0.1");
  return port;
}

bool LoopbackPortAccepts(uint16_t port) {
  TLoopbackSocket socket = TLoopbackSocket::Open();
  return socket.Connect(port);
}

}  // namespace qel::test
