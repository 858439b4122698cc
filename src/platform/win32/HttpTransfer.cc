// The HTTP transfer on WinHTTP's asynchronous API. Each transfer has its own
// session: no handle then outlives the objects that use it, whatever the
// order in which a host tears them down, and a session's settings (proxy,
// limits) are never shared between requests that did not ask for them. The
// price is that a HEAD and the GET after it do not share a connection.
//
// All of WinHTTP's reports arrive as notes on the plug-in thread (see
// TWinHttpCallbackContext); the state below is only ever touched there.
#include "platform/HttpTransfer.h"

#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <cwctype>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/win32/HttpRequestText.h"
#include "platform/win32/TransferWindow.h"
#include "platform/win32/WinHttpCallbackContext.h"
#include "platform/win32/WinHttpErrors.h"
#include "platform/win32/WinHttpHandle.h"

namespace qel {
namespace {

constexpr wchar_t kUserAgent[] = L"npqelgame";

enum TPhase : uint8_t {
  phClosed,  // not opened
  phOpened,  // opened, headers may be added
  phSent,    // running
  phEnded,   // finished, failed or aborted
};

struct TEnd {
  bool Failed = false;
  int32_t Number = 0;
  std::u16string Description;
};

[[noreturn]] void Fail(int32_t number, const std::string& message) { throw EHttpTransferError(number, message); }

[[noreturn]] void FailWithLastError(const std::string& what) {
  const auto number = static_cast<int32_t>(GetLastError());
  Fail(number, what + ": " + DescribeWinHttpError(number));
}

std::u16string WideText(const std::string& text) { return std::u16string(text.begin(), text.end()); }

TEnd FailureEnd(unsigned long error, const std::string& what) {
  const int32_t number = HttpErrorNumberOf(error);
  return TEnd{true, number, WideText(what + DescribeWinHttpError(number))};
}

// Systems before Windows 8.1 know only the older way to the system's proxy.
TWinHttpHandle OpenSession() {
  TWinHttpHandle session(WinHttpOpen(kUserAgent, WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY, WINHTTP_NO_PROXY_NAME,
                                     WINHTTP_NO_PROXY_BYPASS, WINHTTP_FLAG_ASYNC));
  if (!session) {
    session.reset(WinHttpOpen(kUserAgent, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                              WINHTTP_NO_PROXY_BYPASS, WINHTTP_FLAG_ASYNC));
  }
  if (!session) FailWithLastError("the HTTP service could not be opened");
  return session;
}

DWORD OptionLimit(int32_t milliseconds) { return milliseconds == 0 ? INFINITE : static_cast<DWORD>(milliseconds); }

void ApplyTimeouts(HINTERNET request, const THttpTimeouts& limits) {
  if (!WinHttpSetTimeouts(request, limits.ResolveMs, limits.ConnectMs, limits.SendMs, limits.ReceiveMs)) {
    FailWithLastError("the time limits were refused");
  }
  // The wait for the response's head has a limit of its own, not set by the
  // call above; silence before the head counts like silence in the body.
  DWORD head_limit = OptionLimit(limits.ReceiveMs);
  WinHttpSetOption(request, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &head_limit, sizeof head_limit);
}

void SetDwordOption(HINTERNET request, DWORD option, DWORD value, const char* what) {
  if (!WinHttpSetOption(request, option, &value, sizeof value)) FailWithLastError(what);
}

std::optional<std::wstring> QueryHeader(HINTERNET request, DWORD level, const wchar_t* name) {
  DWORD bytes = 0;
  WinHttpQueryHeaders(request, level, name, WINHTTP_NO_OUTPUT_BUFFER, &bytes, WINHTTP_NO_HEADER_INDEX);
  if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return std::nullopt;
  std::wstring value(bytes / sizeof(wchar_t) + 1, L'\0');
  bytes = static_cast<DWORD>(value.size() * sizeof(wchar_t));
  if (!WinHttpQueryHeaders(request, level, name, value.data(), &bytes, WINHTTP_NO_HEADER_INDEX)) {
    return std::nullopt;
  }
  value.resize(bytes / sizeof(wchar_t));
  return value;
}

std::optional<int64_t> ParseLength(const std::wstring& text) {
  if (text.empty() || text.size() > 18) return std::nullopt;
  int64_t value = 0;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9') return std::nullopt;
    value = value * 10 + (c - L'0');
  }
  return value;
}

// Some WinHTTP builds report a redirect's target as the server wrote it,
// which may be relative, and so of the request's own scheme.
bool IsHttpAddress(const std::wstring& url) {
  const size_t colon = url.find(L':');
  const size_t slash = url.find_first_of(L"/?#");
  if (colon == std::wstring::npos || (slash != std::wstring::npos && slash < colon)) return true;
  std::wstring scheme = url.substr(0, colon);
  for (wchar_t& c : scheme) c = static_cast<wchar_t>(towlower(c));
  return scheme == L"http" || scheme == L"https";
}

bool IsRedirectStatus(int32_t status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

}  // namespace

struct THttpTransfer::TState {
  TState() : Window(&TState::OnWake, this) {}
  ~TState();
  TState(const TState&) = delete;
  TState& operator=(const TState&) = delete;

  static void OnWake(void* self) { static_cast<TState*>(self)->Drain(); }

  // Ends the running request without events; its handles close and
  // WinHTTP's late reports land in a context nobody reads.
  void Stop();
  void CloseHandles();
  // Ends the request with a failure of our own making.
  void Refuse(int32_t number, std::u16string description);
  void ClearPending();
  void Drain();
  void Apply(const TWinHttpNote& note);
  void TakeResponse();
  void EndBody();
  TEnd FailureOf(DWORD number) const;
  // Asks WinHTTP for the next piece when the body may flow.
  void ContinueBody();
  void FailNow(const std::string& what);
  // Answers false when a handler destroyed the request.
  bool Deliver();

  TTransferWindow Window;
  IHttpTransferEvents* Sink = nullptr;
  TPhase Phase = phClosed;
  THttpTimeouts Timeouts;

  TWinHttpHandle Session;
  TWinHttpHandle Connection;
  TWinHttpHandle Request;
  std::shared_ptr<TWinHttpCallbackContext> Context;
  bool HeadRequest = false;

  // A WinHTTP call is under way; its report has not been read yet.
  bool Busy = false;
  bool Held = false;
  bool ResponseKnown = false;
  // Bytes WinHTTP reported ready to read.
  DWORD Available = 0;
  int Redirects = 0;
  std::wstring LastLocation;
  std::optional<int64_t> AnnouncedLength;
  int64_t BodyReceived = 0;

  // Events waiting for delivery.
  bool StartPending = false;
  int32_t Status = 0;
  std::u16string ContentType;
  // Bytes read into the context's buffer, not yet delivered.
  DWORD PieceBytes = 0;
  std::optional<TEnd> End;

  // Changes when a request is aborted or replaced, so that delivery stops.
  unsigned Generation = 0;
  // Set while events are delivered; tells the delivery that a handler
  // destroyed the request.
  bool* Destroyed = nullptr;
};

THttpTransfer::TState::~TState() {
  if (Destroyed != nullptr) *Destroyed = true;
  Stop();
}

void THttpTransfer::TState::CloseHandles() {
  if (Context) Context->Detach();
  // The request first: closing it cancels what is under way.
  Request.reset();
  Connection.reset();
  Session.reset();
  Context.reset();
}

void THttpTransfer::TState::Refuse(int32_t number, std::u16string description) {
  CloseHandles();
  Busy = false;
  Phase = phEnded;
  End = TEnd{true, number, std::move(description)};
}

void THttpTransfer::TState::Stop() {
  CloseHandles();
  if (Phase == phSent) Phase = phEnded;
  Busy = false;
  // The next request's body flows from the start.
  Held = false;
  ClearPending();
  ++Generation;
}

void THttpTransfer::TState::ClearPending() {
  StartPending = false;
  PieceBytes = 0;
  Available = 0;
  End.reset();
}

void THttpTransfer::TState::Drain() {
  std::vector<TWinHttpNote> notes;
  if (Context) notes = Context->TakeNotes();
  for (const TWinHttpNote& note : notes) {
    if (Phase != phSent || End) break;
    Apply(note);
  }
  if (!Deliver()) return;
  ContinueBody();
}

void THttpTransfer::TState::Apply(const TWinHttpNote& note) {
  switch (note.Status) {
    case WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE:
      if (!WinHttpReceiveResponse(Request.get(), nullptr)) FailNow("the response could not be awaited: ");
      break;
    case WINHTTP_CALLBACK_STATUS_REDIRECT:
      // Checked here as well, since not every WinHTTP keeps to the policy
      // and the limit it was given.
      ++Redirects;
      LastLocation = note.Location;
      if (!IsHttpAddress(LastLocation)) {
        Refuse(kHttpErrorRedirectFailed,
               u"redirected to " + FromSystemText(LastLocation) + u", which is no http or https address");
      } else if (Redirects > kMostRedirects) {
        Refuse(kHttpErrorRedirectFailed, u"more than " + WideText(std::to_string(kMostRedirects)) +
                                             u" redirects, the last to " + FromSystemText(LastLocation));
      }
      break;
    case WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE:
      Busy = false;
      TakeResponse();
      break;
    case WINHTTP_CALLBACK_STATUS_DATA_AVAILABLE:
      Busy = false;
      Available = note.Value;
      if (Available == 0) EndBody();
      break;
    case WINHTTP_CALLBACK_STATUS_READ_COMPLETE:
      Busy = false;
      if (note.Value == 0) {
        EndBody();
        break;
      }
      Available -= std::min(Available, note.Value);
      PieceBytes = note.Value;
      // Bytes past the announced length are not the body's, whatever
      // WinHTTP hands over; the body ends where it said it would.
      if (AnnouncedLength && BodyReceived + PieceBytes >= *AnnouncedLength) {
        PieceBytes = static_cast<DWORD>(*AnnouncedLength - BodyReceived);
        BodyReceived += PieceBytes;
        EndBody();
        break;
      }
      BodyReceived += PieceBytes;
      break;
    case WINHTTP_CALLBACK_STATUS_REQUEST_ERROR:
      Busy = false;
      Phase = phEnded;
      End = FailureOf(note.Value);
      break;
    default:
      break;
  }
}

void THttpTransfer::TState::TakeResponse() {
  DWORD status = 0;
  DWORD bytes = sizeof status;
  if (!WinHttpQueryHeaders(Request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                           WINHTTP_HEADER_NAME_BY_INDEX, &status, &bytes, WINHTTP_NO_HEADER_INDEX)) {
    return FailNow("the response has no status: ");
  }
  const std::optional<std::wstring> location = QueryHeader(Request.get(), WINHTTP_QUERY_LOCATION, nullptr);
  // A redirect that WinHTTP passes on after the last hop it follows is one
  // hop too many, not the response.
  if (IsRedirectStatus(static_cast<int32_t>(status)) && location && !location->empty() &&
      Redirects >= kMostRedirects) {
    Phase = phEnded;
    End = TEnd{true, kHttpErrorRedirectFailed,
               WideText("more than " + std::to_string(kMostRedirects) + " redirects, the last to ") +
                   FromSystemText(*location)};
    return;
  }
  ResponseKnown = true;
  StartPending = true;
  Status = static_cast<int32_t>(status);
  ContentType = FromSystemText(QueryHeader(Request.get(), WINHTTP_QUERY_CONTENT_TYPE, nullptr).value_or(L""));
  // A body that ends before its announced length is a broken transfer, which
  // WinHTTP would report as a finished one.
  AnnouncedLength.reset();
  const bool has_body = !HeadRequest && status >= 200 && status != 204 && status != 304;
  const std::optional<std::wstring> encoding =
      QueryHeader(Request.get(), WINHTTP_QUERY_TRANSFER_ENCODING, nullptr);
  if (has_body && !encoding) {
    if (const auto length = QueryHeader(Request.get(), WINHTTP_QUERY_CONTENT_LENGTH, nullptr)) {
      AnnouncedLength = ParseLength(*length);
    }
  }
}

void THttpTransfer::TState::EndBody() {
  Phase = phEnded;
  if (AnnouncedLength && BodyReceived < *AnnouncedLength) {
    End = TEnd{true, kHttpErrorConnectionError,
               WideText("the connection ended after " + std::to_string(BodyReceived) + " of " +
                        std::to_string(*AnnouncedLength) + " bytes of the body")};
    return;
  }
  End = TEnd{};
}

TEnd THttpTransfer::TState::FailureOf(DWORD error) const {
  const int32_t number = HttpErrorNumberOf(error);
  if (Redirects > 0 && !ResponseKnown &&
      (number == kHttpErrorUnrecognizedScheme || number == kHttpErrorInvalidUrl)) {
    return TEnd{true, kHttpErrorRedirectFailed,
                u"redirected to an address that is no http or https address: " + FromSystemText(LastLocation)};
  }
  return FailureEnd(error, "");
}

void THttpTransfer::TState::FailNow(const std::string& what) {
  const DWORD error = GetLastError();
  Phase = phEnded;
  End = FailureEnd(error, what);
}

void THttpTransfer::TState::ContinueBody() {
  if (Phase != phSent || !ResponseKnown || Held || Busy || PieceBytes > 0 || End || StartPending) return;
  bool started = false;
  if (Available > 0) {
    const DWORD size = std::min<DWORD>(Available, kMostBodyBytesPerEvent);
    started = WinHttpReadData(Request.get(), Context->ReadBuffer(size), size, nullptr);
  } else {
    started = WinHttpQueryDataAvailable(Request.get(), nullptr);
  }
  if (started) {
    Busy = true;
    return;
  }
  FailNow("the body could not be read: ");
  // The failure is told from the loop, as every event is.
  TTransferWindow::PostWake(Window.Handle());
}

bool THttpTransfer::TState::Deliver() {
  if (Sink == nullptr) {
    // Nobody listens; the body still flows so that the request ends.
    StartPending = false;
    PieceBytes = 0;
    End.reset();
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
  if (PieceBytes > 0 && Held) {
    // Bytes read before the hold, and the end after them, wait for the release.
    Destroyed = nullptr;
    return true;
  }
  if (PieceBytes > 0) {
    const int32_t size = static_cast<int32_t>(std::exchange(PieceBytes, 0));
    // No read runs while the piece is out, so the buffer stays as it is.
    Sink->ResponseDataAvailable(Context->ReadBuffer(0), size);
    if (stop()) return !destroyed;
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
  const std::wstring verb = CheckedToken(method, "method");
  const TUrlParts parts = SplitHttpUrl(url);

  TWinHttpHandle session = OpenSession();
  // Redirects between http and https either way, a limited number of them.
  SetDwordOption(session.get(), WINHTTP_OPTION_REDIRECT_POLICY, WINHTTP_OPTION_REDIRECT_POLICY_ALWAYS,
                 "the redirect policy was refused");
  TWinHttpHandle connection(WinHttpConnect(session.get(), parts.Host.c_str(), parts.Port, 0));
  if (!connection) FailWithLastError("the server could not be addressed");
  TWinHttpHandle request(WinHttpOpenRequest(connection.get(), verb.c_str(), parts.Target.c_str(), nullptr,
                                            WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                            parts.Secure ? WINHTTP_FLAG_SECURE : 0));
  if (!request) FailWithLastError("the request could not be made");
  SetDwordOption(request.get(), WINHTTP_OPTION_MAX_HTTP_AUTOMATIC_REDIRECTS, kMostRedirects,
                 "the redirect limit was refused");
  ApplyTimeouts(request.get(), State_->Timeouts);
  auto context = std::make_shared<TWinHttpCallbackContext>(State_->Window.Handle());
  if (const DWORD error = context->Attach(request.get())) {
    Fail(static_cast<int32_t>(error), "the request's reports could not be routed: " +
                                          DescribeWinHttpError(static_cast<int32_t>(error)));
  }

  State_->Stop();
  State_->Session = std::move(session);
  State_->Connection = std::move(connection);
  State_->Request = std::move(request);
  State_->Context = std::move(context);
  State_->HeadRequest = verb == L"HEAD";
  State_->ResponseKnown = false;
  State_->Redirects = 0;
  State_->LastLocation.clear();
  State_->AnnouncedLength.reset();
  State_->BodyReceived = 0;
  State_->Phase = phOpened;
}

void THttpTransfer::SetRequestHeader(std::u16string_view name, std::u16string_view value) {
  if (State_->Phase == phClosed) Fail(kHttpErrorCannotCallBeforeOpen, "the request is not open");
  if (State_->Phase != phOpened) Fail(kHttpErrorCannotCallAfterSend, "the request was already sent");
  const std::wstring header = CheckedToken(name, "header name");
  const std::wstring text = CheckedHeaderValue(value, std::string(name.begin(), name.end()));
  // Added, never replacing: a replacement with an empty value would remove
  // the header instead of sending it empty.
  const std::wstring line = header + L": " + text;
  if (!WinHttpAddRequestHeaders(State_->Request.get(), line.c_str(), static_cast<DWORD>(line.size()),
                                WINHTTP_ADDREQ_FLAG_ADD)) {
    FailWithLastError("the request header was refused");
  }
}

void THttpTransfer::SetTimeouts(int32_t resolve_ms, int32_t connect_ms, int32_t send_ms, int32_t receive_ms) {
  if (State_->Phase == phClosed) Fail(kHttpErrorCannotCallBeforeOpen, "the request is not open");
  if (State_->Phase != phOpened) Fail(kHttpErrorCannotCallAfterSend, "the request was already sent");
  for (const int32_t limit : {resolve_ms, connect_ms, send_ms, receive_ms}) {
    if (limit < 0) Fail(kHttpErrorInvalidParameter, "a time limit cannot be negative");
  }
  const THttpTimeouts limits{resolve_ms, connect_ms, send_ms, receive_ms};
  ApplyTimeouts(State_->Request.get(), limits);
  State_->Timeouts = limits;
}

std::u16string THttpTransfer::GetResponseHeader(std::u16string_view name) const {
  if (State_->Phase == phClosed || State_->Phase == phOpened) {
    Fail(kHttpErrorCannotCallBeforeSend, "the request was not sent");
  }
  if (!State_->ResponseKnown || !State_->Request) {
    Fail(kHttpErrorIncorrectHandleState, "no response has arrived yet");
  }
  const std::wstring header = SystemText(name);
  std::optional<std::wstring> value;
  if (!header.empty()) value = QueryHeader(State_->Request.get(), WINHTTP_QUERY_CUSTOM, header.c_str());
  if (!value) Fail(kHttpErrorHeaderNotFound, "the response has no header " + std::string(name.begin(), name.end()));
  return FromSystemText(*value);
}

void THttpTransfer::Send() {
  if (State_->Phase == phClosed) Fail(kHttpErrorCannotCallBeforeOpen, "the request is not open");
  if (State_->Phase != phOpened) Fail(kHttpErrorCannotCallAfterSend, "the request was already sent");
  if (!WinHttpSendRequest(State_->Request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0,
                          State_->Context->Value())) {
    FailWithLastError("the request could not be sent");
  }
  State_->Phase = phSent;
  State_->Busy = true;
}

void THttpTransfer::Abort() { State_->Stop(); }

void THttpTransfer::HoldBody(bool held) {
  TState& state = *State_;
  if (state.Held == held) return;
  state.Held = held;
  if (held || state.Phase != phSent) return;
  // Bytes read before the hold go out from the loop, not from this call.
  if (state.PieceBytes > 0) {
    TTransferWindow::PostWake(state.Window.Handle());
    return;
  }
  state.ContinueBody();
}

}  // namespace qel
