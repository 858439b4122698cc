#include "FaultServer.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <limits>
#include <sstream>
#include <stdexcept>

namespace qel::test {
namespace {

constexpr int kRequestPatienceMs = 10000;
constexpr size_t kLongestRequest = 64 * 1024;

std::string LowerCase(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

// The value of the request's header `lower_name`, blanks around it removed.
std::optional<std::string> HeaderOf(const TRecordedRequest& request, std::string_view lower_name) {
  for (const std::string& line : request.HeaderLines) {
    const size_t colon = line.find(':');
    if (colon == std::string::npos || LowerCase(std::string_view(line).substr(0, colon)) != lower_name) continue;
    std::string value = line.substr(colon + 1);
    value.erase(0, value.find_first_not_of(" \t"));
    value.erase(value.find_last_not_of(" \t") + 1);
    return value;
  }
  return std::nullopt;
}

// N of a "Range: bytes=N-" line, when the request has one.
std::optional<size_t> RangeStart(const TRecordedRequest& request) {
  const std::optional<std::string> range = HeaderOf(request, "range");
  if (!range) return std::nullopt;
  const std::string value = LowerCase(*range);
  if (!value.starts_with("bytes=") || !value.ends_with("-")) return std::nullopt;
  const std::string digits = value.substr(6, value.size() - 7);
  if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
  return static_cast<size_t>(std::stoull(digits));
}

// A range is served only while the validator the client holds is current.
bool IfRangeHolds(const TRecordedRequest& request, const TFaultScript& script) {
  const std::optional<std::string> validator = HeaderOf(request, "if-range");
  if (!validator) return true;
  const bool strong_etag = script.ETag && !script.ETag->starts_with("W/");
  return (strong_etag && *validator == *script.ETag) || (script.LastModified && *validator == *script.LastModified);
}

TRecordedRequest ParseRequest(const std::string& head) {
  TRecordedRequest request;
  std::istringstream lines(head);
  std::string line;
  std::getline(lines, line);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  std::istringstream first(line);
  first >> request.Method >> request.Target;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) request.HeaderLines.push_back(line);
  }
  return request;
}

std::string ReasonOf(int status) {
  switch (status) {
    case 200: return "OK";
    case 206: return "Partial Content";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 303: return "See Other";
    case 307: return "Temporary Redirect";
    case 308: return "Permanent Redirect";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    default: return "Status";
  }
}

std::string AnswerHead(int status, const std::optional<std::string>& length,
                       std::string_view type = "application/octet-stream") {
  std::string head = "HTTP/1.1 " + std::to_string(status) + " " + ReasonOf(status) +
                     "\r\nContent-Type: " + std::string(type) + "\r\nConnection: close\r\n";
  if (length) head += "Content-Length: " + *length + "\r\n";
  return head;
}

std::string ValidatorLines(const TFaultScript& script) {
  std::string lines;
  if (script.ETag) lines += "ETag: " + *script.ETag + "\r\n";
  if (script.LastModified) lines += "Last-Modified: " + *script.LastModified + "\r\n";
  return lines;
}

// A status or redirect answer: its own short body instead of the resource.
std::string StatusAnswer(const TRecordedRequest& request, const TFaultScript& script) {
  const int status = script.Status.value_or(302);
  const std::string body = "status " + std::to_string(status) + "\n";
  std::string answer = AnswerHead(status, std::to_string(body.size()), "text/plain");
  if (script.RedirectTo) answer += "Location: " + *script.RedirectTo + "\r\n";
  answer += "\r\n";
  if (request.Method == "GET") answer += body;
  return answer;
}

}  // namespace

TFaultServer::TFaultServer() {
  Listener_ = TLoopbackSocket::Open();
  // The acceptor and the request readers also wait on the wake socket, whose
  // peer ends when the server stops.
  TLoopbackSocket wake_listener = TLoopbackSocket::Open();
  Waker_ = TLoopbackSocket::Open();
  if (!Listener_.Bind(0) || !Listener_.Listen(16) || (Port_ = Listener_.Port()) == 0 || !wake_listener.Bind(0) ||
      !wake_listener.Listen(1) || !Waker_.Connect(wake_listener.Port()) ||
      !(Wake_ = wake_listener.Accept()).Valid()) {
    throw std::runtime_error("the fault server cannot listen on 127.0.0.1");
  }
  Acceptor_ = std::thread(&TFaultServer::AcceptLoop, this);
}

TFaultServer::~TFaultServer() {
  {
    std::lock_guard lock(Lock_);
    Stopping_ = true;
    for (TLoopbackSocket* connection : Connections_) connection->Shutdown();
  }
  Changed_.notify_all();
  Waker_.Shutdown();
  Acceptor_.join();
  // The acceptor has ended: nobody adds workers any more.
  for (std::thread& worker : Workers_) worker.join();
}

void TFaultServer::SetScript(TFaultScript script) {
  std::lock_guard lock(Lock_);
  Script_ = std::move(script);
  Resumed_ = false;
}

void TFaultServer::SetScript(std::string_view path, TFaultScript script) {
  std::lock_guard lock(Lock_);
  PathScripts_["/" + std::string(path)] = std::move(script);
  Resumed_ = false;
}

std::string TFaultServer::Url(std::string_view path) const {
  return "http://127.0.0.1:" + std::to_string(Port_) + "/" + std::string(path);
}

std::vector<TRecordedRequest> TFaultServer::Requests() const {
  std::lock_guard lock(Lock_);
  return Requests_;
}

void TFaultServer::Resume() {
  {
    std::lock_guard lock(Lock_);
    Resumed_ = true;
  }
  Changed_.notify_all();
}

void TFaultServer::AcceptLoop() {
  for (;;) {
    const int ready = AwaitReadable({&Listener_, &Wake_}, -1);
    if (ready == 1) return;
    if (ready != 0) continue;
    auto connection = std::make_unique<TLoopbackSocket>(Listener_.Accept());
    if (!connection->Valid()) continue;
    std::lock_guard lock(Lock_);
    if (Stopping_) return;
    Connections_.insert(connection.get());
    Workers_.emplace_back(&TFaultServer::Serve, this, std::move(connection));
  }
}

void TFaultServer::Serve(std::unique_ptr<TLoopbackSocket> connection) {
  std::string received;
  while (received.find("\r\n\r\n") == std::string::npos && received.size() < kLongestRequest) {
    if (AwaitReadable({connection.get(), &Wake_}, kRequestPatienceMs) != 0) break;
    char bytes[4096];
    const long count = connection->Receive(bytes, sizeof bytes);
    if (count <= 0) break;
    received.append(bytes, static_cast<size_t>(count));
  }
  const size_t end = received.find("\r\n\r\n");
  if (end != std::string::npos) {
    const TRecordedRequest request = ParseRequest(received.substr(0, end));
    TFaultScript script;
    {
      std::lock_guard lock(Lock_);
      Requests_.push_back(request);
      const auto own = PathScripts_.find(request.Target);
      script = own != PathScripts_.end() ? own->second : Script_;
    }
    Answer(*connection, request, script);
  }
  std::lock_guard lock(Lock_);
  Connections_.erase(connection.get());
}

void TFaultServer::Answer(TLoopbackSocket& connection, const TRecordedRequest& request, const TFaultScript& script) {
  const bool known_method = request.Method == "HEAD" || request.Method == "GET";
  if (!known_method) {
    SendAll(connection, "HTTP/1.1 405 Method Not Allowed\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    return;
  }
  if (script.StallHead && !AwaitResume()) return;
  if (script.Status || script.RedirectTo) {
    SendAll(connection, StatusAnswer(request, script));
  } else if (request.Method == "HEAD") {
    std::optional<std::string> length = script.HeadLength;
    if (!length) length = std::to_string(script.Body.size());
    if (script.HeadWithoutLength) length.reset();
    SendAll(connection, AnswerHead(200, length) + ValidatorLines(script) + "\r\n");
  } else {
    const std::optional<size_t> start = RangeStart(request);
    const bool ranged =
        start && !script.IgnoreRange && *start <= script.Body.size() && IfRangeHolds(request, script);
    const std::string_view body = std::string_view(script.Body).substr(ranged ? *start : 0);
    std::string head = AnswerHead(ranged ? 206 : 200, std::to_string(script.GetLength ? *script.GetLength
                                                                                    : int64_t(body.size())));
    head += ValidatorLines(script);
    if (ranged) {
      head += "Content-Range: bytes " + std::to_string(*start) + "-" +
              std::to_string(script.Body.size() - 1) + "/" + std::to_string(script.Body.size()) + "\r\n";
    }
    if (SendAll(connection, head + "\r\n")) SendBody(connection, body, script);
  }
}

bool TFaultServer::AwaitResume() {
  Paused_ = true;
  std::unique_lock lock(Lock_);
  Changed_.wait(lock, [&] { return Resumed_ || Stopping_; });
  Paused_ = false;
  return !Stopping_;
}

bool TFaultServer::SendAll(TLoopbackSocket& connection, std::string_view bytes) {
  while (!bytes.empty()) {
    const long sent = connection.Send(bytes);
    if (sent <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(sent));
  }
  return true;
}

void TFaultServer::SendBody(TLoopbackSocket& connection, std::string_view body, const TFaultScript& script) {
  const size_t limit = std::min(body.size(), script.CloseAfter.value_or(body.size()));
  const size_t chunk_bytes = std::max<size_t>(script.ChunkBytes, 1);
  bool paused = false;
  size_t sent = 0;
  while (sent < limit) {
    if (script.PauseAfter && !paused && sent == *script.PauseAfter) {
      paused = true;
      if (!AwaitResume()) return;
    }
    size_t chunk = std::min(chunk_bytes, limit - sent);
    if (script.PauseAfter && !paused && *script.PauseAfter > sent) chunk = std::min(chunk, *script.PauseAfter - sent);
    if (!SendAll(connection, body.substr(sent, chunk))) return;
    sent += chunk;
    BodyBytesSent_ += chunk;
    if (script.ChunkDelayMs > 0 && !Pause(script.ChunkDelayMs)) return;
  }
}

bool TFaultServer::Pause(int milliseconds) {
  std::unique_lock lock(Lock_);
  return !Changed_.wait_for(lock, std::chrono::milliseconds(milliseconds), [&] { return Stopping_; });
}

TUnansweredPort::TUnansweredPort() : Listener_(TLoopbackSocket::Open()), Filler_(TLoopbackSocket::Open()) {
  // A queue of length 0 holds one connection; the filler takes that place.
  if (!Listener_.Bind(0) || !Listener_.Listen(0) || (Port_ = Listener_.Port()) == 0 || !Filler_.Connect(Port_)) {
    throw std::runtime_error("no unanswered port on 127.0.0.1");
  }
}

TUnansweredPort::~TUnansweredPort() = default;

std::string TUnansweredPort::Url() const { return "http://127.0.0.1:" + std::to_string(Port_) + "/pack.dat"; }

}  // namespace qel::test
