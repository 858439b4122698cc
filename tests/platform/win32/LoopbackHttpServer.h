// A small HTTP server on 127.0.0.1 for the transfer's tests: each path is
// given a scripted reply, which may be cut short, slow, silent or wrong in
// the ways servers are. Every connection is served on a thread of its own
// and closed after one reply.
#pragma once

#include <winsock2.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace qel::test {

struct TScriptedReply {
  int Status = 200;
  std::string ContentType = "application/octet-stream";
  std::string Body = {};
  // The Content-Length stated; the body's size unless set. None: no
  // Content-Length, the body ends with the connection.
  std::optional<size_t> AnnouncedLength = {};
  bool AnnounceLength = true;
  std::string Location = {};
  std::vector<std::string> ExtraHeaders = {};
  // The body goes out in pieces of this size (0: as large as the socket
  // takes), with a pause between them.
  size_t PieceBytes = 0;
  int PieceDelayMs = 0;
  // After this many body bytes the server falls silent until released, or
  // drops the connection.
  std::optional<size_t> SilentAfter = {};
  std::optional<size_t> DropAfter = {};
  // The request is read and never answered.
  bool NoReply = false;
};

class TLoopbackHttpServer {
 public:
  TLoopbackHttpServer();
  ~TLoopbackHttpServer();
  TLoopbackHttpServer(const TLoopbackHttpServer&) = delete;
  TLoopbackHttpServer& operator=(const TLoopbackHttpServer&) = delete;

  void Script(const std::string& path, TScriptedReply reply);
  std::string Url(const std::string& path) const;
  // Lets silent replies go on.
  void Release();
  // The request heads received so far, in order.
  std::vector<std::string> Requests() const;
  size_t BodyBytesSent() const { return BodyBytesSent_; }
  // A loopback port nothing listens on.
  static uint16_t RefusingPort();

 private:
  void Accept();
  void Serve(SOCKET connection);
  bool SendAll(SOCKET connection, const char* bytes, size_t size, bool body);
  // Answers false when the server stops meanwhile.
  bool WaitForRelease();
  bool Sleep(int milliseconds);

  SOCKET Listener_ = INVALID_SOCKET;
  uint16_t Port_ = 0;
  std::thread Acceptor_;
  mutable std::mutex Mutex_;
  std::condition_variable Changed_;
  bool Stopping_ = false;
  bool Released_ = false;
  std::map<std::string, TScriptedReply> Scripts_;
  std::vector<std::string> Requests_;
  std::vector<SOCKET> Open_;
  std::vector<std::thread> Workers_;
  std::atomic<size_t> BodyBytesSent_ = 0;
};

}  // namespace qel::test
