// A small HTTP/1.1 server on 127.0.0.1 whose answers a test scripts, for the
// faults a real server rarely shows on demand: a connection closed after N
// bytes, one length announced and another sent, a range ignored, a HEAD
// without "Content-Length", a body that stops until the test resumes it, a
// body sent slowly, an answer that never starts, error statuses, redirects
// and validators. It records every request it gets. Each connection is
// served on a thread of its own and closed after one answer.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "LoopbackSocket.h"

namespace qel::test {

struct TFaultScript {
  // The resource. A GET with "Range: bytes=N-" gets bytes N.. (206) unless
  // IgnoreRange; any other GET gets all of it (200).
  std::string Body = {};
  // The "Content-Length" text of a HEAD answer; the body's size when unset.
  std::optional<std::string> HeadLength = {};
  bool HeadWithoutLength = false;
  // The "Content-Length" of a GET answer, when it should differ from the
  // bytes sent; the connection then closes after the bytes.
  std::optional<int64_t> GetLength = {};
  bool IgnoreRange = false;
  // A GET's connection closes after this many body bytes.
  std::optional<size_t> CloseAfter = {};
  // A GET stops after this many body bytes until Resume().
  std::optional<size_t> PauseAfter = {};
  // Bytes per send, and the pause after each one: a slow sender.
  size_t ChunkBytes = 64 * 1024;
  int ChunkDelayMs = 0;
  // A HEAD or GET is answered with this status and a short text body of its
  // own in place of the resource (a HEAD with the head alone). Unset: the
  // resource with 200, or 206 for a range.
  std::optional<int> Status = {};
  // A "Location" with this text (a path such as "/next", or any URL) in an
  // answer of its own: Status, or 302 when Status is unset.
  std::optional<std::string> RedirectTo = {};
  // Validators sent with the resource's HEAD and GET answers. A GET with
  // "Range" and "If-Range" gets the range only when If-Range is the ETag (a
  // strong one) or the LastModified text; otherwise all of it with 200.
  std::optional<std::string> ETag = {};
  std::optional<std::string> LastModified = {};
  // A HEAD or GET is read but answered with nothing, not even the status
  // line, until Resume() (or the server's end).
  bool StallHead = false;
};

struct TRecordedRequest {
  std::string Method;
  std::string Target;
  // Each header line as received, without its line end.
  std::vector<std::string> HeaderLines;
};

class TFaultServer {
 public:
  // Raises std::runtime_error when it cannot listen.
  TFaultServer();
  ~TFaultServer();
  TFaultServer(const TFaultServer&) = delete;
  TFaultServer& operator=(const TFaultServer&) = delete;

  // Requests that arrive afterwards are answered by this script; its pause
  // waits for a Resume() that comes after this call.
  void SetScript(TFaultScript script);
  // Requests for "/" + path are answered by this script instead (the same
  // Resume() holds for all): a chain of redirects is a script per hop.
  void SetScript(std::string_view path, TFaultScript script);
  std::string Url(std::string_view path = "pack.dat") const;

  std::vector<TRecordedRequest> Requests() const;
  // GET body bytes written so far, over all connections.
  size_t BodyBytesSent() const { return BodyBytesSent_.load(); }
  // True while an answer waits at its pause point or stalls before its head.
  bool Paused() const { return Paused_.load(); }
  void Resume();

 private:
  void AcceptLoop();
  void Serve(std::unique_ptr<TLoopbackSocket> connection);
  void Answer(TLoopbackSocket& connection, const TRecordedRequest& request, const TFaultScript& script);
  // Waits for Resume(); false when the server stops first.
  bool AwaitResume();
  // Writes everything; false when the client went away or the server stops.
  bool SendAll(TLoopbackSocket& connection, std::string_view bytes);
  void SendBody(TLoopbackSocket& connection, std::string_view body, const TFaultScript& script);
  // Waits the time unless the server stops; false when it stops.
  bool Pause(int milliseconds);

  TLoopbackSocket Listener_;
  // Waker_ ends when the server stops; Wake_, its peer, then reads as ended.
  TLoopbackSocket Waker_;
  TLoopbackSocket Wake_;
  uint16_t Port_ = 0;

  mutable std::mutex Lock_;
  std::condition_variable Changed_;
  TFaultScript Script_;
  std::map<std::string, TFaultScript, std::less<>> PathScripts_;
  bool Resumed_ = false;
  bool Stopping_ = false;
  std::vector<TRecordedRequest> Requests_;
  std::set<TLoopbackSocket*> Connections_;
  std::vector<std::thread> Workers_;

  std::atomic<size_t> BodyBytesSent_{0};
  std::atomic<bool> Paused_{false};
  std::thread Acceptor_;
};

// A port on 127.0.0.1 where connections are never made: its listener's
// queue is kept full and nothing accepts, so the system drops further SYNs.
class TUnansweredPort {
 public:
  // Raises std::runtime_error when it cannot listen.
  TUnansweredPort();
  ~TUnansweredPort();
  TUnansweredPort(const TUnansweredPort&) = delete;
  TUnansweredPort& operator=(const TUnansweredPort&) = delete;

  std::string Url() const;

 private:
  TLoopbackSocket Listener_;
  TLoopbackSocket Filler_;
  uint16_t Port_ = 0;
};

}  // namespace qel::test
