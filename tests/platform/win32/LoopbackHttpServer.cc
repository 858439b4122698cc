#include "LoopbackHttpServer.h"

#include <ws2tcpip.h>

#include <algorithm>
#include <chrono>
#include <stdexcept>

namespace qel::test {
namespace {

struct TWinsock {
  TWinsock() {
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) throw std::runtime_error("Winsock did not start");
  }
};

sockaddr_in LoopbackAddress(uint16_t port) {
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  return address;
}

// Reads up to the blank line after the head.
std::string ReadHead(SOCKET connection) {
  std::string head;
  char c;
  while (head.size() < 65536 && head.find("\r\n\r\n") == std::string::npos) {
    if (recv(connection, &c, 1, 0) != 1) return {};
    head.push_back(c);
  }
  return head;
}

std::string PathOf(const std::string& head) {
  const size_t start = head.find(' ');
  const size_t end = head.find(' ', start + 1);
  if (start == std::string::npos || end == std::string::npos) return {};
  return head.substr(start + 1, end - start - 1);
}

std::string ReasonOf(int status) {
  switch (status) {
    case 200: return "OK";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 303: return "See Other";
    case 307: return "Temporary Redirect";
    case 404: return "Not Found";
    default: return "Status";
  }
}

}  // namespace

TLoopbackHttpServer::TLoopbackHttpServer() {
  static TWinsock winsock;
  Listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address = LoopbackAddress(0);
  int size = sizeof address;
  if (Listener_ == INVALID_SOCKET || bind(Listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(Listener_, 16) != 0 || getsockname(Listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    throw std::runtime_error("the loopback server could not listen");
  }
  Port_ = ntohs(address.sin_port);
  Acceptor_ = std::thread([this] { Accept(); });
}

TLoopbackHttpServer::~TLoopbackHttpServer() {
  {
    const std::lock_guard<std::mutex> lock(Mutex_);
    Stopping_ = true;
    // Unblocks workers stuck in a send to a client that stopped reading.
    for (SOCKET connection : Open_) shutdown(connection, SD_BOTH);
  }
  Changed_.notify_all();
  closesocket(Listener_);
  Acceptor_.join();
  for (std::thread& worker : Workers_) worker.join();
}

void TLoopbackHttpServer::Script(const std::string& path, TScriptedReply reply) {
  const std::lock_guard<std::mutex> lock(Mutex_);
  Scripts_[path] = std::move(reply);
}

std::string TLoopbackHttpServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(Port_) + path;
}

void TLoopbackHttpServer::Release() {
  {
    const std::lock_guard<std::mutex> lock(Mutex_);
    Released_ = true;
  }
  Changed_.notify_all();
}

std::vector<std::string> TLoopbackHttpServer::Requests() const {
  const std::lock_guard<std::mutex> lock(Mutex_);
  return Requests_;
}

uint16_t TLoopbackHttpServer::RefusingPort() {
  static TWinsock winsock;
  SOCKET probe = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address = LoopbackAddress(0);
  int size = sizeof address;
  bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
  getsockname(probe, reinterpret_cast<sockaddr*>(&address), &size);
  closesocket(probe);
  return ntohs(address.sin_port);
}

void TLoopbackHttpServer::Accept() {
  for (;;) {
    const SOCKET connection = accept(Listener_, nullptr, nullptr);
    const std::lock_guard<std::mutex> lock(Mutex_);
    if (connection == INVALID_SOCKET || Stopping_) {
      if (connection != INVALID_SOCKET) closesocket(connection);
      return;
    }
    Open_.push_back(connection);
    Workers_.emplace_back([this, connection] { Serve(connection); });
  }
}

bool TLoopbackHttpServer::WaitForRelease() {
  std::unique_lock<std::mutex> lock(Mutex_);
  Changed_.wait(lock, [this] { return Stopping_ || Released_; });
  return !Stopping_;
}

bool TLoopbackHttpServer::Sleep(int milliseconds) {
  std::unique_lock<std::mutex> lock(Mutex_);
  return !Changed_.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return Stopping_; });
}

bool TLoopbackHttpServer::SendAll(SOCKET connection, const char* bytes, size_t size, bool body) {
  while (size > 0) {
    const int sent = send(connection, bytes, static_cast<int>(std::min<size_t>(size, 64 * 1024)), 0);
    if (sent <= 0) return false;
    if (body) BodyBytesSent_ += static_cast<size_t>(sent);
    bytes += sent;
    size -= static_cast<size_t>(sent);
  }
  return true;
}

void TLoopbackHttpServer::Serve(SOCKET connection) {
  const std::string head = ReadHead(connection);
  TScriptedReply reply;
  bool known = false;
  {
    const std::lock_guard<std::mutex> lock(Mutex_);
    if (!head.empty()) Requests_.push_back(head);
    const auto script = Scripts_.find(PathOf(head));
    if (script != Scripts_.end()) {
      reply = script->second;
      known = true;
    }
  }
  if (!known) reply = TScriptedReply{.Status = 404, .ContentType = "text/plain", .Body = "no such script"};
  const bool head_request = head.starts_with("HEAD ");
  bool going = !head.empty();
  if (going && reply.NoReply) {
    WaitForRelease();
    going = false;
  }
  if (going) {
    std::string answer = "HTTP/1.1 " + std::to_string(reply.Status) + " " + ReasonOf(reply.Status) + "\r\n";
    answer += "Content-Type: " + reply.ContentType + "\r\n";
    if (reply.AnnounceLength) {
      answer += "Content-Length: " + std::to_string(reply.AnnouncedLength.value_or(reply.Body.size())) + "\r\n";
    }
    if (!reply.Location.empty()) answer += "Location: " + reply.Location + "\r\n";
    for (const std::string& header : reply.ExtraHeaders) answer += header + "\r\n";
    answer += "Connection: close\r\n\r\n";
    going = SendAll(connection, answer.data(), answer.size(), false);
  }
  size_t offset = 0;
  const size_t end = head_request ? 0 : std::min(reply.Body.size(), reply.DropAfter.value_or(reply.Body.size()));
  while (going && offset < end) {
    if (reply.SilentAfter && offset == *reply.SilentAfter && !WaitForRelease()) break;
    size_t piece = reply.PieceBytes > 0 ? reply.PieceBytes : end - offset;
    if (reply.SilentAfter && offset < *reply.SilentAfter) piece = std::min(piece, *reply.SilentAfter - offset);
    piece = std::min(piece, end - offset);
    going = SendAll(connection, reply.Body.data() + offset, piece, true);
    offset += piece;
    if (going && reply.PieceDelayMs > 0 && offset < end) going = Sleep(reply.PieceDelayMs);
  }
  // A drop resets the connection rather than ending it in order.
  if (reply.DropAfter) {
    linger abrupt{1, 0};
    setsockopt(connection, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abrupt), sizeof abrupt);
  } else {
    shutdown(connection, SD_SEND);
  }
  const std::lock_guard<std::mutex> lock(Mutex_);
  Open_.erase(std::remove(Open_.begin(), Open_.end(), connection), Open_.end());
  closesocket(connection);
}

}  // namespace qel::test
