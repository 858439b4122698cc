#include "platform/HttpTransfer.h"

#include <curl/curl.h>
#include <glib.h>

#include <cctype>
#include <limits>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "platform/AnsiText.h"
#include "platform/posix/CurlErrors.h"
#include "platform/posix/CurlLoopSource.h"

namespace qel {
namespace {

// Larger reads mean fewer system calls for big downloads.
constexpr long kReceiveBufferBytes = 256 * 1024;
// The most body bytes taken between two deliveries, and so in one turn of
// the loop and one data event. curl would otherwise read for as long as the
// socket has data (megabytes on loopback) and keep the plug-in thread from
// everything else meanwhile; past this it is paused and continues in the
// next turn.
constexpr size_t kTurnBudgetBytes = kMostBodyBytesPerEvent;
static_assert(static_cast<size_t>(kReceiveBufferBytes) <= kTurnBudgetBytes, "one piece from curl fits a turn");

enum TPhase : uint8_t {
  phClosed,  // not opened
  phOpened,  // opened, headers may be added
  phSent,    // running
  phEnded,   // finished, failed or aborted
};

// Where the current hop is, for its time limit.
enum TStage : uint8_t {
  stIdle,        // no hop under way, or one whose limit is curl's
  stResolving,   // finding the server's address
  stConnecting,  // connecting: curl's own connection limit applies
  stSending,     // handing the request to the connection
  stReceiving,   // waiting for the response, or for more of it
};

struct TEnd {
  bool Failed = false;
  int32_t Number = 0;
  std::u16string Description;
};

struct TEasyCleanup {
  void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
using TEasyHandle = std::unique_ptr<CURL, TEasyCleanup>;

struct TUrlCleanup {
  void operator()(CURLU* url) const { curl_url_cleanup(url); }
};

[[noreturn]] void Fail(int32_t number, const std::string& message) {
  throw EHttpTransferError(number, message);
}

// HTTP header text is taken as Latin-1, as the wire format has it.
std::u16string Latin1ToUtf16(std::string_view text) {
  std::u16string wide;
  wide.reserve(text.size());
  for (char c : text) wide.push_back(static_cast<unsigned char>(c));
  return wide;
}

std::optional<std::string> Utf16ToLatin1(std::u16string_view wide) {
  std::string text;
  text.reserve(wide.size());
  for (char16_t c : wide) {
    if (c > 0xFF) return std::nullopt;
    text.push_back(static_cast<char>(c));
  }
  return text;
}

bool IsTokenCharacter(char c) {
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
  return std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

// A method or header name: a non-empty HTTP token.
std::string TokenOf(std::u16string_view wide, std::string_view what) {
  const std::optional<std::string> text = Utf16ToLatin1(wide);
  bool valid = text.has_value() && !text->empty();
  if (valid) {
    for (char c : *text) valid = valid && IsTokenCharacter(c);
  }
  if (!valid) Fail(kHttpErrorInvalidParameter, std::string("not a valid HTTP ") + std::string(what));
  return *text;
}

std::u16string WideText(const std::string& text) { return Latin1ToUtf16(text); }

// The value of a header line "Name: value" when its name is `name` (in
// lower case), without the surrounding blanks and the line end.
std::optional<std::string> HeaderValue(std::string_view line, std::string_view name) {
  if (line.size() <= name.size() || line[name.size()] != ':') return std::nullopt;
  for (size_t i = 0; i < name.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(line[i])) != name[i]) return std::nullopt;
  }
  std::string_view value = line.substr(name.size() + 1);
  const size_t first = value.find_first_not_of(" \t");
  if (first == std::string_view::npos) return std::string();
  value.remove_prefix(first);
  value.remove_suffix(value.size() - (value.find_last_not_of(" \t\r\n") + 1));
  return std::string(value);
}

void CheckTimeout(int32_t milliseconds) {
  if (milliseconds < 0) Fail(kHttpErrorInvalidParameter, "a time limit cannot be negative");
}

// curl counts name resolution into the connection's time; a limit of its own
// for resolving adds to it. curl's 0 would be its default of five minutes.
long CurlConnectLimitMs(const THttpTimeouts& limits) {
  if (limits.ConnectMs == 0) return std::numeric_limits<int32_t>::max();
  return long{limits.ConnectMs} + long{limits.ResolveMs};
}

// Only http and https URLs that curl can take apart are accepted.
void CheckUrl(const std::string& url) {
  std::unique_ptr<CURLU, TUrlCleanup> parts(curl_url());
  if (!parts) Fail(kHttpErrorNotEnoughMemory, "no memory for a URL");
  if (curl_url_set(parts.get(), CURLUPART_URL, url.c_str(), CURLU_NON_SUPPORT_SCHEME) != CURLUE_OK) {
    Fail(kHttpErrorInvalidUrl, "not a valid URL: " + url);
  }
  char* scheme = nullptr;
  if (curl_url_get(parts.get(), CURLUPART_SCHEME, &scheme, 0) != CURLUE_OK) {
    Fail(kHttpErrorInvalidUrl, "not a valid URL: " + url);
  }
  const std::string name = scheme;
  curl_free(scheme);
  if (name != "http" && name != "https") Fail(kHttpErrorUnrecognizedScheme, "not an HTTP URL: " + url);
}

}  // namespace

struct THttpTransfer::TState {
  TState() : Loop(std::make_unique<TCurlLoopSource>([this] { AfterActions(); })) {}
  ~TState();
  TState(const TState&) = delete;
  TState& operator=(const TState&) = delete;

  static size_t OnHeader(char* bytes, size_t size, size_t count, void* self);
  static size_t OnBody(char* bytes, size_t size, size_t count, void* self);
  static int OnResolverStart(void* resolver, void* reserved, void* self);
  static int OnSocketOpened(void* self, curl_socket_t socket, curlsocktype purpose);
  static int OnConnectionReady(void* self, char* remote_ip, char* local_ip, int remote_port, int local_port);

  TEasyHandle NewEasy(const std::string& method, const std::string& url);
  void Stop();
  void ClearPending();
  void EndHeaderBlock();
  void TakeResponse(int32_t status, const std::string& content_type);
  // A redirect curl did not follow (a sixth hop is an error, not this) is the
  // final response after all.
  void TakeHeldRedirect();
  TEnd FailureOf(CURLcode result) const;
  void EnterStage(TStage stage);
  void NoteReceived();
  int32_t StageLimitMs() const;
  // Ends the request when its stage outlasted the limit; otherwise makes
  // sure the loop wakes for the deadline.
  void WatchDeadline();
  void AfterActions();
  // Lets curl hand over the body again after a pause.
  void Resume();
  // Answers false when a handler destroyed the request.
  bool Deliver();

  IHttpTransferEvents* Sink = nullptr;
  std::unique_ptr<TCurlLoopSource> Loop;
  TEasyHandle Easy;
  curl_slist* Headers = nullptr;
  TPhase Phase = phClosed;
  bool InMulti = false;
  bool InHeaderBlock = false;
  // Whether curl was paused for Data holding a turn's worth already, or
  // for the body being held.
  bool Paused = false;
  bool Held = false;
  // The final response's headers are complete.
  bool ResponseKnown = false;

  // The response whose headers are arriving.
  std::optional<std::string> BlockLocation;
  std::string BlockContentType;
  // Redirect answers met so far, and the last one's status, type and target.
  int Redirects = 0;
  int32_t HeldStatus = 0;
  std::string HeldContentType;
  std::string HeldLocation;

  THttpTimeouts Timeouts;
  TStage Stage = stIdle;
  // Monotonic microseconds: when the stage began, or in stReceiving when the
  // last bytes came.
  int64_t StageSince = 0;

  // Events waiting for the end of the loop's turn.
  bool StartPending = false;
  int32_t Status = 0;
  std::u16string ContentType;
  std::vector<uint8_t> Data;
  std::optional<TEnd> End;

  // Changes when a request is aborted or replaced, so that delivery stops.
  unsigned Generation = 0;
  // Set while events are delivered; tells the delivery that a handler
  // destroyed the request.
  bool* Destroyed = nullptr;
  char ErrorBuffer[CURL_ERROR_SIZE] = {};
};

THttpTransfer::TState::~TState() {
  if (Destroyed != nullptr) *Destroyed = true;
  Stop();
  Easy.reset();
  curl_slist_free_all(Headers);
  Loop.reset();
}

size_t THttpTransfer::TState::OnHeader(char* bytes, size_t size, size_t count, void* self) {
  auto* state = static_cast<TState*>(self);
  const std::string_view line(bytes, size * count);
  state->NoteReceived();
  if (line.starts_with("HTTP/")) {
    state->InHeaderBlock = true;
    state->BlockLocation.reset();
    state->BlockContentType.clear();
  } else if (!state->InHeaderBlock) {
    // Trailers of a chunked body.
  } else if (line == "\r\n" || line == "\n") {
    state->InHeaderBlock = false;
    state->EndHeaderBlock();
  } else if (std::optional<std::string> location = HeaderValue(line, "location")) {
    state->BlockLocation = std::move(location);
  } else if (std::optional<std::string> type = HeaderValue(line, "content-type")) {
    state->BlockContentType = std::move(*type);
  }
  return size * count;
}

void THttpTransfer::TState::EndHeaderBlock() {
  long code = 0;
  curl_easy_getinfo(Easy.get(), CURLINFO_RESPONSE_CODE, &code);
  // An interim (1xx) answer is followed by the real one.
  if (code < 200 || ResponseKnown) return;
  // curl follows every 3xx answer with a non-empty Location; the response
  // after it is the one reported.
  if (code >= 300 && code < 400 && BlockLocation && !BlockLocation->empty()) {
    ++Redirects;
    HeldStatus = static_cast<int32_t>(code);
    HeldContentType = BlockContentType;
    HeldLocation = *BlockLocation;
    return;
  }
  TakeResponse(static_cast<int32_t>(code), BlockContentType);
}

void THttpTransfer::TState::TakeResponse(int32_t status, const std::string& content_type) {
  ResponseKnown = true;
  StartPending = true;
  Status = status;
  ContentType = WideText(content_type);
}

void THttpTransfer::TState::TakeHeldRedirect() {
  if (!ResponseKnown && Redirects > 0) TakeResponse(HeldStatus, HeldContentType);
}

int THttpTransfer::TState::OnResolverStart(void*, void*, void* self) {
  static_cast<TState*>(self)->EnterStage(stResolving);
  return 0;
}

int THttpTransfer::TState::OnSocketOpened(void* self, curl_socket_t, curlsocktype) {
  // Each address tried opens a socket; the connection's time starts once.
  auto* state = static_cast<TState*>(self);
  if (state->Stage != stConnecting) state->EnterStage(stConnecting);
  return CURL_SOCKOPT_OK;
}

int THttpTransfer::TState::OnConnectionReady(void* self, char*, char*, int, int) {
  static_cast<TState*>(self)->EnterStage(stSending);
  return CURL_PREREQFUNC_OK;
}

size_t THttpTransfer::TState::OnBody(char* bytes, size_t size, size_t count, void* self) {
  auto* state = static_cast<TState*>(self);
  const size_t length = size * count;
  state->NoteReceived();
  state->TakeHeldRedirect();
  // Data takes a piece whenever it is empty, lest a piece larger than the
  // budget wait for ever.
  const size_t taken = state->Data.size();
  if (state->Held || (taken > 0 && taken + length > kTurnBudgetBytes)) {
    // curl keeps these bytes and hands them over again when resumed.
    state->Paused = true;
    return CURL_WRITEFUNC_PAUSE;
  }
  try {
    // Sized for a whole turn at once: growing it step by step would copy
    // it and fault fresh pages in at every step.
    if (state->Data.capacity() < kTurnBudgetBytes) state->Data.reserve(kTurnBudgetBytes);
    // As bytes of the element type, so that the copy is one memmove.
    const auto* first = reinterpret_cast<const uint8_t*>(bytes);
    state->Data.insert(state->Data.end(), first, first + length);
  } catch (const std::bad_alloc&) {
    return CURL_WRITEFUNC_ERROR;
  }
  return length;
}

TEasyHandle THttpTransfer::TState::NewEasy(const std::string& method, const std::string& url) {
  TEasyHandle easy(curl_easy_init());
  if (!easy) Fail(kHttpErrorNotEnoughMemory, "no memory for an HTTP request");
  CURL* const e = easy.get();
  bool ok = curl_easy_setopt(e, CURLOPT_URL, url.c_str()) == CURLE_OK;
  if (method == "GET") {
    ok = ok && curl_easy_setopt(e, CURLOPT_HTTPGET, 1L) == CURLE_OK;
  } else if (method == "HEAD") {
    ok = ok && curl_easy_setopt(e, CURLOPT_NOBODY, 1L) == CURLE_OK;
  } else {
    ok = ok && curl_easy_setopt(e, CURLOPT_CUSTOMREQUEST, method.c_str()) == CURLE_OK;
  }
  if (!ok) Fail(kHttpErrorNotEnoughMemory, "no memory for an HTTP request");
  // Signals are the host's; the answers of a proxy's tunnel are not the response's.
  curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(e, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
  curl_easy_setopt(e, CURLOPT_BUFFERSIZE, kReceiveBufferBytes);
  curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &TState::OnHeader);
  curl_easy_setopt(e, CURLOPT_HEADERDATA, this);
  curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &TState::OnBody);
  curl_easy_setopt(e, CURLOPT_WRITEDATA, this);
  curl_easy_setopt(e, CURLOPT_ERRORBUFFER, ErrorBuffer);
  // Redirects: another scheme or one hop too many fails the request.
  curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(e, CURLOPT_MAXREDIRS, long{kMostRedirects});
  curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  // The stages of each hop, for their time limits.
  curl_easy_setopt(e, CURLOPT_RESOLVER_START_FUNCTION, &TState::OnResolverStart);
  curl_easy_setopt(e, CURLOPT_RESOLVER_START_DATA, this);
  curl_easy_setopt(e, CURLOPT_SOCKOPTFUNCTION, &TState::OnSocketOpened);
  curl_easy_setopt(e, CURLOPT_SOCKOPTDATA, this);
  curl_easy_setopt(e, CURLOPT_PREREQFUNCTION, &TState::OnConnectionReady);
  curl_easy_setopt(e, CURLOPT_PREREQDATA, this);
  return easy;
}

void THttpTransfer::TState::Stop() {
  if (InMulti) {
    curl_multi_remove_handle(Loop->Multi(), Easy.get());
    InMulti = false;
  }
  if (Phase == phSent) Phase = phEnded;
  EnterStage(stIdle);
  Paused = false;
  // The next request's body flows from the start.
  Held = false;
  ClearPending();
  ++Generation;
}

void THttpTransfer::TState::ClearPending() {
  StartPending = false;
  Data.clear();
  End.reset();
}

TEnd THttpTransfer::TState::FailureOf(CURLcode result) const {
  const std::u16string detail = WideText(DescribeCurlFailure(result, ErrorBuffer));
  if (Redirects > 0) {
    if (result == CURLE_TOO_MANY_REDIRECTS) {
      return TEnd{true, kHttpErrorRedirectFailed,
                  WideText("more than " + std::to_string(kMostRedirects) + " redirects, the last to " +
                           HeldLocation + ": ") + detail};
    }
    if (result == CURLE_UNSUPPORTED_PROTOCOL || result == CURLE_URL_MALFORMAT) {
      return TEnd{true, kHttpErrorRedirectFailed,
                  WideText("redirected to " + HeldLocation + ", which is no http or https address: ") + detail};
    }
  }
  return TEnd{true, HttpErrorNumberOf(result), detail};
}

void THttpTransfer::TState::EnterStage(TStage stage) {
  Stage = stage;
  StageSince = g_get_monotonic_time();
  const int32_t limit = StageLimitMs();
  Loop->WakeAt(limit > 0 ? StageSince + int64_t{limit} * 1000 : -1);
}

void THttpTransfer::TState::NoteReceived() {
  // Bytes from the server also mean that the request went out.
  if (Stage == stReceiving) {
    StageSince = g_get_monotonic_time();
  } else {
    EnterStage(stReceiving);
  }
}

int32_t THttpTransfer::TState::StageLimitMs() const {
  switch (Stage) {
    case stResolving:
      return Timeouts.ResolveMs;
    case stSending:
      return Timeouts.SendMs;
    case stReceiving:
      return Timeouts.ReceiveMs;
    case stIdle:
    case stConnecting:
      return 0;
  }
  return 0;
}

void THttpTransfer::TState::WatchDeadline() {
  // A request is out once curl no longer waits to write it.
  if (Stage == stSending && !Loop->WantsToWrite()) EnterStage(stReceiving);
  // While the body is held, the silence is ours, not the server's.
  if (Held && Stage == stReceiving) return;
  const int32_t limit = StageLimitMs();
  if (limit == 0) return;
  const int64_t deadline = StageSince + int64_t{limit} * 1000;
  if (g_get_monotonic_time() < deadline) {
    // The deadline only moves later, so an earlier wake-up merely looks again.
    if (!Loop->WakeSet()) Loop->WakeAt(deadline);
    return;
  }
  std::string what;
  switch (Stage) {
    case stResolving:
      what = "the server's name was not resolved within ";
      break;
    case stSending:
      what = "the request could not be sent within ";
      break;
    default:
      what = "the server sent nothing for ";
      break;
  }
  curl_multi_remove_handle(Loop->Multi(), Easy.get());
  InMulti = false;
  Phase = phEnded;
  EnterStage(stIdle);
  End = TEnd{true, kHttpErrorTimeout, WideText(what + std::to_string(limit) + " ms")};
}

void THttpTransfer::TState::AfterActions() {
  const CURLMcode failure = Loop->TakeFailure();
  if (failure != CURLM_OK && InMulti) {
    curl_multi_remove_handle(Loop->Multi(), Easy.get());
    InMulti = false;
    Phase = phEnded;
    End = TEnd{true, HttpErrorNumberOf(failure), WideText(DescribeCurlFailure(failure))};
  }
  int left = 0;
  while (CURLMsg* message = curl_multi_info_read(Loop->Multi(), &left)) {
    if (message->msg != CURLMSG_DONE || message->easy_handle != Easy.get() || !InMulti) continue;
    const CURLcode result = message->data.result;
    curl_multi_remove_handle(Loop->Multi(), Easy.get());
    InMulti = false;
    Phase = phEnded;
    if (result != CURLE_OK) {
      End = FailureOf(result);
    } else {
      TakeHeldRedirect();
      if (!ResponseKnown) {
        End = TEnd{true, kHttpErrorInvalidServerResponse, u"the server sent no response"};
      } else {
        End = TEnd{};
      }
    }
  }
  if (InMulti) {
    WatchDeadline();
  } else if (Stage != stIdle) {
    EnterStage(stIdle);
  }
  if (!Deliver()) return;
  if (!Held) Resume();
}

void THttpTransfer::TState::Resume() {
  if (!Paused || !InMulti) return;
  Paused = false;
  // Resuming asks curl for a turn of its own, which reads on.
  curl_easy_pause(Easy.get(), CURLPAUSE_CONT);
}

bool THttpTransfer::TState::Deliver() {
  if (Sink == nullptr) {
    ClearPending();
    return true;
  }
  bool destroyed = false;
  Destroyed = &destroyed;
  const unsigned generation = Generation;
  // After each handler: did it destroy, abort, reopen or disconnect the
  // request? Then nothing more is delivered.
  const auto stop = [&] {
    if (destroyed) return true;
    if (generation == Generation && Sink != nullptr) return false;
    Destroyed = nullptr;
    return true;
  };

  if (StartPending) {
    StartPending = false;
    const std::u16string content_type = ContentType;
    Sink->ResponseStart(Status, content_type);
    if (stop()) return !destroyed;
  }
  if (!Data.empty() && Held) {
    // Bytes taken before the hold, and the end after them, wait for the release.
    Destroyed = nullptr;
    return true;
  }
  if (!Data.empty()) {
    std::vector<uint8_t> piece;
    piece.swap(Data);
    Sink->ResponseDataAvailable(piece.data(), static_cast<int32_t>(piece.size()));
    if (stop()) return !destroyed;
    if (Data.empty()) {
      // Keeps the capacity for the next turn.
      piece.clear();
      Data.swap(piece);
    }
  }
  if (End) {
    const TEnd end = std::move(*End);
    End.reset();
    if (end.Failed) {
      Sink->Error(end.Number, end.Description);
    } else {
      Sink->ResponseFinished();
    }
    if (stop()) return !destroyed;
  }
  Destroyed = nullptr;
  return true;
}

THttpTransfer::THttpTransfer() : State_(std::make_unique<TState>()) {}

THttpTransfer::~THttpTransfer() = default;

void THttpTransfer::Connect(IHttpTransferEvents* sink) { State_->Sink = sink; }

void THttpTransfer::Open(std::u16string_view method, std::u16string_view url, bool asynchronous) {
  if (!asynchronous) Fail(kHttpErrorNotSupported, "HTTP requests here run only asynchronously");
  const std::string verb = TokenOf(method, "method");
  const std::string address = Utf16ToUtf8(url);
  CheckUrl(address);
  TEasyHandle easy = State_->NewEasy(verb, address);

  State_->Stop();
  State_->Easy = std::move(easy);
  curl_slist_free_all(State_->Headers);
  State_->Headers = nullptr;
  State_->ResponseKnown = false;
  State_->InHeaderBlock = false;
  State_->Redirects = 0;
  State_->Phase = phOpened;
}

void THttpTransfer::SetRequestHeader(std::u16string_view name, std::u16string_view value) {
  if (State_->Phase == phClosed) Fail(kHttpErrorCannotCallBeforeOpen, "the request is not open");
  if (State_->Phase != phOpened) Fail(kHttpErrorCannotCallAfterSend, "the request was already sent");
  const std::string header = TokenOf(name, "header name");
  const std::optional<std::string> text = Utf16ToLatin1(value);
  if (!text || text->find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) {
    Fail(kHttpErrorInvalidParameter, "not a valid value for the header " + header);
  }
  // curl drops a header given as "Name:"; "Name;" sends it empty.
  const std::string line = text->empty() ? header + ";" : header + ": " + *text;
  curl_slist* const headers = curl_slist_append(State_->Headers, line.c_str());
  if (headers == nullptr) Fail(kHttpErrorNotEnoughMemory, "no memory for a request header");
  State_->Headers = headers;
}

void THttpTransfer::SetTimeouts(int32_t resolve_ms, int32_t connect_ms, int32_t send_ms, int32_t receive_ms) {
  if (State_->Phase == phClosed) Fail(kHttpErrorCannotCallBeforeOpen, "the request is not open");
  if (State_->Phase != phOpened) Fail(kHttpErrorCannotCallAfterSend, "the request was already sent");
  for (const int32_t limit : {resolve_ms, connect_ms, send_ms, receive_ms}) CheckTimeout(limit);
  State_->Timeouts = THttpTimeouts{resolve_ms, connect_ms, send_ms, receive_ms};
}

std::u16string THttpTransfer::GetResponseHeader(std::u16string_view name) const {
  if (State_->Phase == phClosed || State_->Phase == phOpened) {
    Fail(kHttpErrorCannotCallBeforeSend, "the request was not sent");
  }
  if (!State_->ResponseKnown) Fail(kHttpErrorIncorrectHandleState, "no response has arrived yet");
  const std::optional<std::string> header = Utf16ToLatin1(name);
  curl_header* found = nullptr;
  if (!header || header->empty() ||
      curl_easy_header(State_->Easy.get(), header->c_str(), 0, CURLH_HEADER, -1, &found) != CURLHE_OK) {
    Fail(kHttpErrorHeaderNotFound, "the response has no header " + Utf16ToUtf8(name));
  }
  return WideText(found->value);
}

void THttpTransfer::Send() {
  if (State_->Phase == phClosed) Fail(kHttpErrorCannotCallBeforeOpen, "the request is not open");
  if (State_->Phase != phOpened) Fail(kHttpErrorCannotCallAfterSend, "the request was already sent");
  CURL* const easy = State_->Easy.get();
  if (curl_easy_setopt(easy, CURLOPT_HTTPHEADER, State_->Headers) != CURLE_OK) {
    Fail(kHttpErrorInternal, "the request headers were refused");
  }
  if (curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, CurlConnectLimitMs(State_->Timeouts)) != CURLE_OK) {
    Fail(kHttpErrorInternal, "the connection's time limit was refused");
  }
  State_->ErrorBuffer[0] = '\0';
  const CURLMcode result = curl_multi_add_handle(State_->Loop->Multi(), easy);
  if (result != CURLM_OK) Fail(HttpErrorNumberOf(result), DescribeCurlFailure(result));
  State_->InMulti = true;
  State_->Phase = phSent;
  // Until curl reports a step, the request is finding its server.
  State_->EnterStage(stResolving);
}

void THttpTransfer::Abort() { State_->Stop(); }

void THttpTransfer::HoldBody(bool held) {
  TState& state = *State_;
  if (state.Held == held) return;
  state.Held = held;
  if (held) return;
  // The server's silence is counted again from here.
  if (state.Stage == stReceiving) state.StageSince = g_get_monotonic_time();
  state.Resume();
  // Bytes taken before the hold go out from the loop, not from this call.
  if (!state.Data.empty()) state.Loop->WakeAt(g_get_monotonic_time());
}

}  // namespace qel
