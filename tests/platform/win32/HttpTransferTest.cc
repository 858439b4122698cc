// The HTTP transfer on WinHTTP, against a scripted server on loopback: the
// order and thread of the events, failures with their numbers, redirects,
// time limits, holding the body, and stopping a transfer at any point.
#include "platform/HttpTransfer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "LoopbackHttpServer.h"
#include "MessagePump.h"

namespace qel::test {
namespace {

constexpr int kPatienceMs = 20000;
constexpr int kQuietMs = 300;

using Events = std::vector<std::string>;

std::u16string Wide(const std::string& text) { return std::u16string(text.begin(), text.end()); }

std::string PatternBytes(size_t size, unsigned seed = 1) {
  std::string bytes(size, '\0');
  uint32_t state = seed;
  for (char& byte : bytes) {
    state = state * 1103515245u + 12345u;
    byte = static_cast<char>(state >> 24);
  }
  return bytes;
}

// Records the events of one transfer; consecutive data events are noted once.
class TRecorder : public IHttpTransferEvents {
 public:
  void ResponseStart(int32_t status, const std::u16string& type) override {
    Note("start " + std::to_string(status) + " " + std::string(type.begin(), type.end()));
    if (OnStart) OnStart();
  }
  void ResponseDataAvailable(const uint8_t* data, int32_t size) override {
    if (Log.empty() || Log.back() != "data") Note("data");
    Body.append(reinterpret_cast<const char*>(data), static_cast<size_t>(size));
    LargestPiece = std::max(LargestPiece, size);
    if (OnData) OnData();
  }
  void ResponseFinished() override { Note("finished"); }
  void Error(int32_t number, const std::u16string& description) override {
    Note("error " + std::to_string(number));
    ErrorText.assign(description.begin(), description.end());
  }

  bool Ended() const { return !Log.empty() && (Log.back() == "finished" || Log.back().starts_with("error")); }
  bool AwaitEnd() const { return PumpMessagesUntil([this] { return Ended(); }, kPatienceMs); }

  Events Log;
  std::string Body;
  int32_t LargestPiece = 0;
  std::string ErrorText;
  bool OffThread = false;
  std::function<void()> OnStart;
  std::function<void()> OnData;

 private:
  void Note(std::string event) {
    Log.push_back(std::move(event));
    OffThread = OffThread || std::this_thread::get_id() != Loop;
  }
  std::thread::id Loop = std::this_thread::get_id();
};

int32_t NumberOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const EHttpTransferError& failure) {
    return failure.ErrorNumber();
  }
  return 0;
}

std::string Error(int32_t number) { return "error " + std::to_string(number); }

TEST(Win32HttpTransfer, ABodyInPiecesArrivesWholeInOrderFromTheLoopOnThisThread) {
  TLoopbackHttpServer server;
  const std::string body = PatternBytes(100000);
  server.Script("/pieces", {.Body = body, .ExtraHeaders = {"X-Served-By: loopback"}, .PieceBytes = 7000,
                            .PieceDelayMs = 2});
  THttpTransfer transfer;
  TRecorder recorder;
  transfer.Connect(&recorder);
  std::u16string served_by;
  int32_t missing = 0;
  recorder.OnStart = [&] {
    served_by = transfer.GetResponseHeader(u"x-served-by");
    missing = NumberOf([&] { transfer.GetResponseHeader(u"X-Absent"); });
  };
  transfer.Open(u"GET", Wide(server.Url("/pieces")), true);
  transfer.Send();
  EXPECT_TRUE(recorder.Log.empty());
  ASSERT_TRUE(recorder.AwaitEnd());
  PumpMessagesFor(kQuietMs);
  EXPECT_EQ(recorder.Log, (Events{"start 200 application/octet-stream", "data", "finished"}));
  EXPECT_TRUE(recorder.Body == body);
  EXPECT_FALSE(recorder.OffThread);
  EXPECT_EQ(served_by, u"loopback");
  EXPECT_EQ(missing, kHttpErrorHeaderNotFound);
  EXPECT_EQ(transfer.GetResponseHeader(u"Content-Length"), u"100000");
}

TEST(Win32HttpTransfer, CallsOutOfPlaceRaiseWithTheirNumbers) {
  TLoopbackHttpServer server;
  server.Script("/x", {.Body = "x", .NoReply = true});
  THttpTransfer transfer;
  EXPECT_EQ(NumberOf([&] { transfer.Send(); }), kHttpErrorCannotCallBeforeOpen);
  EXPECT_EQ(NumberOf([&] { transfer.SetRequestHeader(u"A", u"b"); }), kHttpErrorCannotCallBeforeOpen);
  EXPECT_EQ(NumberOf([&] { transfer.SetTimeouts(0, 1, 1, 1); }), kHttpErrorCannotCallBeforeOpen);
  EXPECT_EQ(NumberOf([&] { transfer.Open(u"GET", Wide(server.Url("/x")), false); }), kHttpErrorNotSupported);
  EXPECT_EQ(NumberOf([&] { transfer.Open(u"GET", u"ftp://127.0.0.1/x", true); }), kHttpErrorUnrecognizedScheme);
  EXPECT_EQ(NumberOf([&] { transfer.Open(u"GET", u"not a url", true); }), kHttpErrorInvalidUrl);
  EXPECT_EQ(NumberOf([&] { transfer.Open(u"G ET", Wide(server.Url("/x")), true); }), kHttpErrorInvalidParameter);

  transfer.Open(u"GET", Wide(server.Url("/x")), true);
  EXPECT_EQ(NumberOf([&] { transfer.GetResponseHeader(u"Content-Length"); }), kHttpErrorCannotCallBeforeSend);
  EXPECT_EQ(NumberOf([&] { transfer.SetRequestHeader(u"Bad Name", u"x"); }), kHttpErrorInvalidParameter);
  EXPECT_EQ(NumberOf([&] { transfer.SetRequestHeader(u"X-Split", u"a\r\nInjected: yes"); }),
            kHttpErrorInvalidParameter);
  EXPECT_EQ(NumberOf([&] { transfer.SetTimeouts(0, 1000, -1, 1000); }), kHttpErrorInvalidParameter);
  transfer.Send();
  EXPECT_EQ(NumberOf([&] { transfer.GetResponseHeader(u"Content-Length"); }), kHttpErrorIncorrectHandleState);
  EXPECT_EQ(NumberOf([&] { transfer.SetRequestHeader(u"A", u"b"); }), kHttpErrorCannotCallAfterSend);
  EXPECT_EQ(NumberOf([&] { transfer.SetTimeouts(0, 1, 1, 1); }), kHttpErrorCannotCallAfterSend);
  EXPECT_EQ(NumberOf([&] { transfer.Send(); }), kHttpErrorCannotCallAfterSend);
  server.Release();
}

TEST(Win32HttpTransfer, ABodyThatDisagreesWithItsLengthNeverEndsShort) {
  TLoopbackHttpServer server;
  const std::string body = PatternBytes(3000);
  server.Script("/short", {.Body = body, .AnnouncedLength = 5000});
  server.Script("/long", {.Body = body, .AnnouncedLength = 1000});
  {
    SCOPED_TRACE("fewer bytes than announced");
    THttpTransfer transfer;
    TRecorder recorder;
    transfer.Connect(&recorder);
    transfer.Open(u"GET", Wide(server.Url("/short")), true);
    transfer.Send();
    ASSERT_TRUE(recorder.AwaitEnd());
    EXPECT_EQ(recorder.Log, (Events{"start 200 application/octet-stream", "data", Error(kHttpErrorConnectionError)}));
    EXPECT_TRUE(recorder.Body == body);
  }
  {
    SCOPED_TRACE("more bytes than announced");
    THttpTransfer transfer;
    TRecorder recorder;
    transfer.Connect(&recorder);
    transfer.Open(u"GET", Wide(server.Url("/long")), true);
    transfer.Send();
    ASSERT_TRUE(recorder.AwaitEnd());
    EXPECT_EQ(recorder.Log, (Events{"start 200 application/octet-stream", "data", "finished"}));
    EXPECT_TRUE(recorder.Body == body.substr(0, 1000));
  }
}

TEST(Win32HttpTransfer, AHeadRequestEndsAfterItsHeadWithTheAnnouncedLength) {
  TLoopbackHttpServer server;
  server.Script("/pack", {.Body = PatternBytes(4321)});
  THttpTransfer transfer;
  TRecorder recorder;
  transfer.Connect(&recorder);
  transfer.Open(u"HEAD", Wide(server.Url("/pack")), true);
  transfer.Send();
  ASSERT_TRUE(recorder.AwaitEnd());
  EXPECT_EQ(recorder.Log, (Events{"start 200 application/octet-stream", "finished"}));
  EXPECT_EQ(transfer.GetResponseHeader(u"Content-Length"), u"4321");
}

TEST(Win32HttpTransfer, ARefusedOrDroppedConnectionIsOneErrorAfterWhatCame) {
  {
    SCOPED_TRACE("refused");
    THttpTransfer transfer;
    TRecorder recorder;
    transfer.Connect(&recorder);
    transfer.Open(u"GET", Wide("http://127.0.0.1:" + std::to_string(TLoopbackHttpServer::RefusingPort()) + "/x"),
                  true);
    transfer.Send();
    ASSERT_TRUE(recorder.AwaitEnd());
    PumpMessagesFor(kQuietMs);
    EXPECT_EQ(recorder.Log, (Events{Error(kHttpErrorCannotConnect)}));
    EXPECT_FALSE(recorder.ErrorText.empty());
  }
  {
    SCOPED_TRACE("dropped in the body");
    TLoopbackHttpServer server;
    server.Script("/drop", {.Body = PatternBytes(50000), .DropAfter = 20000});
    THttpTransfer transfer;
    TRecorder recorder;
    transfer.Connect(&recorder);
    transfer.Open(u"GET", Wide(server.Url("/drop")), true);
    transfer.Send();
    ASSERT_TRUE(recorder.AwaitEnd());
    PumpMessagesFor(kQuietMs);
    ASSERT_EQ(recorder.Log.size(), 3u);
    EXPECT_EQ(recorder.Log[2], Error(kHttpErrorConnectionError));
    EXPECT_LE(recorder.Body.size(), 20000u);
  }
}

// Hop i answers with a redirect to hop i + 1, by absolute and relative
// addresses in turn; the last hop has the body. (Wine's WinHTTP does not
// follow 303.)
void ScriptRedirectChain(TLoopbackHttpServer& server, int hops) {
  const int statuses[] = {301, 302, 307, 301, 302};
  for (int hop = 0; hop < hops; ++hop) {
    const std::string next = "/hop" + std::to_string(hop + 1);
    server.Script("/hop" + std::to_string(hop),
                  {.Status = statuses[hop % 5], .Location = hop % 2 ? server.Url(next) : next});
  }
  server.Script("/hop" + std::to_string(hops), {.ContentType = "text/plain", .Body = "arrived"});
}

TEST(Win32HttpTransfer, RedirectsAreFollowedFiveHopsFarWithTheCallersHeaders) {
  TLoopbackHttpServer server;
  ScriptRedirectChain(server, kMostRedirects);
  THttpTransfer transfer;
  TRecorder recorder;
  transfer.Connect(&recorder);
  transfer.Open(u"GET", Wide(server.Url("/hop0")), true);
  transfer.SetRequestHeader(u"RANGE", u"bytes=0-");
  transfer.SetRequestHeader(u"X-Empty", u"");
  transfer.Send();
  ASSERT_TRUE(recorder.AwaitEnd());
  EXPECT_EQ(recorder.Log, (Events{"start 200 text/plain", "data", "finished"}));
  EXPECT_EQ(recorder.Body, "arrived");
  const std::vector<std::string> requests = server.Requests();
  ASSERT_EQ(requests.size(), static_cast<size_t>(kMostRedirects + 1));
  for (const std::string& request : requests) {
    EXPECT_NE(request.find("RANGE: bytes=0-\r\n"), std::string::npos) << request;
    EXPECT_NE(request.find("X-Empty:"), std::string::npos) << request;
  }
}

TEST(Win32HttpTransfer, ASixthHopOrAnotherSchemeFailsWithoutAResponse) {
  TLoopbackHttpServer server;
  ScriptRedirectChain(server, kMostRedirects + 1);
  server.Script("/to-ftp", {.Status = 302, .Location = "ftp://127.0.0.1/pack.dat"});
  server.Script("/to-file", {.Status = 307, .Location = "file:///c:/windows/win.ini"});
  for (const std::string path : {"/hop0", "/to-ftp", "/to-file"}) {
    SCOPED_TRACE(path);
    THttpTransfer transfer;
    TRecorder recorder;
    transfer.Connect(&recorder);
    transfer.Open(u"GET", Wide(server.Url(path)), true);
    transfer.Send();
    ASSERT_TRUE(recorder.AwaitEnd());
    PumpMessagesFor(kQuietMs);
    EXPECT_EQ(recorder.Log, (Events{Error(kHttpErrorRedirectFailed)})) << recorder.ErrorText;
  }
}

TEST(Win32HttpTransfer, ServerSilenceBeforeTheHeadOrInTheBodyEndsWithATimeout) {
  TLoopbackHttpServer server;
  server.Script("/mute", {.Body = "never", .NoReply = true});
  server.Script("/stalls", {.Body = PatternBytes(10000), .SilentAfter = 4000});
  for (const std::string path : {"/mute", "/stalls"}) {
    SCOPED_TRACE(path);
    THttpTransfer transfer;
    TRecorder recorder;
    transfer.Connect(&recorder);
    transfer.Open(u"GET", Wide(server.Url(path)), true);
    transfer.SetTimeouts(0, 5000, 5000, 300);
    transfer.Send();
    ASSERT_TRUE(recorder.AwaitEnd());
    const Events expected = path == "/mute" ? Events{Error(kHttpErrorTimeout)}
                                            : Events{"start 200 application/octet-stream", "data",
                                                     Error(kHttpErrorTimeout)};
    EXPECT_EQ(recorder.Log, expected);
  }
  server.Release();
}

TEST(Win32HttpTransfer, AHeldBodyWaitsWithTheServerUntimedAndFlowsOnInOrderWhenReleased) {
  TLoopbackHttpServer server;
  // More than the connection's buffers hold, so that the server feels the hold.
  const std::string body = PatternBytes(12 * 1024 * 1024, 7);
  server.Script("/large", {.Body = body});
  for (const bool from_start : {true, false}) {
    SCOPED_TRACE(from_start ? "held at the response's start" : "held at its first piece");
    const size_t sent_before = server.BodyBytesSent();
    THttpTransfer transfer;
    TRecorder recorder;
    transfer.Connect(&recorder);
    bool held = false;
    const auto hold = [&] {
      if (!held) transfer.HoldBody(true);
      held = true;
    };
    (from_start ? recorder.OnStart : recorder.OnData) = hold;
    transfer.Open(u"GET", Wide(server.Url("/large")), true);
    transfer.SetTimeouts(0, 5000, 5000, 1000);
    transfer.Send();
    ASSERT_TRUE(PumpMessagesUntil([&] { return held; }, kPatienceMs))
        << testing::PrintToString(recorder.Log) << " " << recorder.ErrorText;
    const size_t taken = recorder.Body.size();
    // Three times the receive limit: the silence is the caller's, not the server's.
    PumpMessagesFor(3000);
    EXPECT_EQ(recorder.Body.size(), taken);
    if (from_start) {
      EXPECT_EQ(taken, 0u);
    }
    EXPECT_EQ(recorder.Log.back(), from_start ? "start 200 application/octet-stream" : "data");
    EXPECT_LT(server.BodyBytesSent() - sent_before, body.size());

    transfer.HoldBody(false);
    // The release itself delivers nothing.
    EXPECT_EQ(recorder.Body.size(), taken);
    ASSERT_TRUE(recorder.AwaitEnd());
    EXPECT_EQ(recorder.Log, (Events{"start 200 application/octet-stream", "data", "finished"}));
    EXPECT_TRUE(recorder.Body == body);
    EXPECT_LE(recorder.LargestPiece, kMostBodyBytesPerEvent);
  }
}

TEST(Win32HttpTransfer, NothingFollowsAbortAndTheObjectServesAgain) {
  TLoopbackHttpServer server;
  server.Script("/stalls", {.Body = PatternBytes(5000), .SilentAfter = 1000});
  server.Script("/second", {.ContentType = "text/plain", .Body = "second"});
  THttpTransfer transfer;
  TRecorder recorder;
  transfer.Connect(&recorder);
  transfer.Abort();  // before Open: nothing to stop
  transfer.Open(u"GET", Wide(server.Url("/stalls")), true);
  transfer.Send();
  ASSERT_TRUE(PumpMessagesUntil([&] { return recorder.Body.size() == 1000; }, kPatienceMs));
  transfer.Abort();
  server.Release();
  PumpMessagesFor(kQuietMs);
  EXPECT_EQ(recorder.Log, (Events{"start 200 application/octet-stream", "data"}));
  EXPECT_EQ(recorder.Body.size(), 1000u);

  TRecorder second;
  transfer.Connect(&second);
  transfer.Open(u"GET", Wide(server.Url("/second")), true);
  transfer.Send();
  ASSERT_TRUE(second.AwaitEnd());
  EXPECT_EQ(second.Log, (Events{"start 200 text/plain", "data", "finished"}));
  EXPECT_EQ(second.Body, "second");
}

TEST(Win32HttpTransfer, OpeningAgainOrDestroyingEndsARunningTransferSilently) {
  TLoopbackHttpServer server;
  server.Script("/stalls", {.Body = PatternBytes(5000), .SilentAfter = 1000});
  server.Script("/second", {.ContentType = "text/plain", .Body = "second"});
  THttpTransfer transfer;
  TRecorder recorder;
  transfer.Connect(&recorder);
  transfer.Open(u"GET", Wide(server.Url("/stalls")), true);
  transfer.Send();
  ASSERT_TRUE(PumpMessagesUntil([&] { return recorder.Body.size() == 1000; }, kPatienceMs));
  transfer.Open(u"GET", Wide(server.Url("/second")), true);
  transfer.Send();
  ASSERT_TRUE(recorder.AwaitEnd());
  EXPECT_EQ(recorder.Log, (Events{"start 200 application/octet-stream", "data", "start 200 text/plain", "data",
                                  "finished"}));

  // Destroyed while WinHTTP still has a read under way.
  auto doomed = std::make_unique<THttpTransfer>();
  TRecorder quiet;
  doomed->Connect(&quiet);
  doomed->Open(u"GET", Wide(server.Url("/stalls")), true);
  doomed->Send();
  ASSERT_TRUE(PumpMessagesUntil([&] { return quiet.Body.size() == 1000; }, kPatienceMs));
  doomed.reset();
  server.Release();
  PumpMessagesFor(kQuietMs);
  EXPECT_EQ(quiet.Log, (Events{"start 200 application/octet-stream", "data"}));
}

TEST(Win32HttpTransfer, AHandlerMayDestroyItsTransfer) {
  TLoopbackHttpServer server;
  server.Script("/slow", {.Body = PatternBytes(200000), .PieceBytes = 1000, .PieceDelayMs = 1});
  for (const bool at_start : {true, false}) {
    SCOPED_TRACE(at_start ? "at the start" : "at the first piece");
    auto transfer = std::make_unique<THttpTransfer>();
    TRecorder recorder;
    transfer->Connect(&recorder);
    (at_start ? recorder.OnStart : recorder.OnData) = [&] { transfer.reset(); };
    transfer->Open(u"GET", Wide(server.Url("/slow")), true);
    transfer->Send();
    ASSERT_TRUE(PumpMessagesUntil([&] { return transfer == nullptr; }, kPatienceMs));
    PumpMessagesFor(kQuietMs);
    const Events expected = at_start ? Events{"start 200 application/octet-stream"}
                                     : Events{"start 200 application/octet-stream", "data"};
    EXPECT_EQ(recorder.Log, expected);
  }
}

}  // namespace
}  // namespace qel::test
