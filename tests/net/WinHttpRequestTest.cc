// The request binding over the platform's HTTP facility: operations, the
// order and thread of the events, and failures with their numbers.
#include "net/WinHttp_TLB.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "FaultServer.h"
#include "LoopbackPort.h"
#include "NetTestSupport.h"
#include "platform/Loop.h"

namespace qel::test {
namespace {

// Records the events of one request, and the thread and status each saw.
class TEventLog {
 public:
  explicit TEventLog(TWinHttpRequest& request) {
    request.OnResponseStart = [this](TWinHttpRequest& sender, int32_t status, const std::u16string& type) {
      Note(sender, "start " + std::to_string(status) + " " + std::string(type.begin(), type.end()));
    };
    request.OnResponseDataAvailable = [this](TWinHttpRequest& sender, int32_t size, const uint8_t* data) {
      if (Events.empty() || Events.back() != "data") Note(sender, "data");
      Body.append(reinterpret_cast<const char*>(data), static_cast<size_t>(size));
    };
    request.OnResponseFinished = [this](TWinHttpRequest& sender) { Note(sender, "finished"); };
    request.OnError = [this](TWinHttpRequest& sender, int32_t number, const std::u16string&) {
      Note(sender, "error " + std::to_string(number));
    };
  }

  bool Ended() const {
    return !Events.empty() && (Events.back() == "finished" || Events.back().starts_with("error"));
  }

  // Consecutive data events are noted once.
  std::vector<std::string> Events;
  std::vector<TWinHttpStatus> StatusSeen;
  std::string Body;
  bool OffThread = false;

 private:
  void Note(TWinHttpRequest& sender, std::string event) {
    Events.push_back(std::move(event));
    StatusSeen.push_back(sender.HttpStatus());
    OffThread = OffThread || std::this_thread::get_id() != Loop;
  }
  std::thread::id Loop = std::this_thread::get_id();
};

bool AwaitEnd(const TEventLog& log) { return RunLoopUntil([&] { return log.Ended(); }, kPatienceMs); }

int32_t NumberOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const EHttpTransferError& failure) {
    return failure.ErrorNumber();
  }
  return 0;
}

using Events = std::vector<std::string>;

class WinHttpAgainstNginx : public NginxTest {};

TEST_F(WinHttpAgainstNginx, EventsComeInOrderFromTheLoopOnThisThread) {
  const std::string file = PatternBytes(3 * 1024 * 1024 + 17);
  Nginx->PutFile("pack.dat", file);
  TWinHttpRequest request;
  TEventLog log(request);
  request.Open(u"GET", Wide(Nginx->Url("pack.dat")), true);
  request.Send();
  // Nothing arrives from inside the caller's own calls.
  EXPECT_TRUE(log.Events.empty());
  EXPECT_EQ(request.HttpStatus(), hsNone);

  ASSERT_TRUE(AwaitEnd(log));
  EXPECT_EQ(log.Events, (Events{"start 200 application/octet-stream", "data", "finished"}));
  // The status is written before the handler runs; data leaves it alone.
  EXPECT_EQ(log.StatusSeen, (std::vector<TWinHttpStatus>{hsStart, hsStart, hsEnd}));
  EXPECT_FALSE(log.OffThread);
  EXPECT_TRUE(log.Body == file);
  EXPECT_EQ(request.HttpStatus(), hsEnd);
  EXPECT_EQ(request.GetResponseHeader(u"content-LENGTH"), Wide(std::to_string(file.size())));
  EXPECT_EQ(NumberOf([&] { request.GetResponseHeader(u"X-Not-There"); }), kHttpErrorHeaderNotFound);
}

TEST_F(WinHttpAgainstNginx, AnErrorStatusIsAResponseNotAFailure) {
  TWinHttpRequest request;
  TEventLog log(request);
  request.Open(u"HEAD", Wide(Nginx->Url("missing.dat")), true);
  request.Send();
  ASSERT_TRUE(AwaitEnd(log));
  EXPECT_EQ(log.Events[0].substr(0, 9), "start 404");
  EXPECT_EQ(log.Events.back(), "finished");
}

TEST_F(WinHttpAgainstNginx, OpeningAgainReplacesTheRequestSilently) {
  Nginx->PutFile("a.dat", "first");
  Nginx->PutFile("b.dat", "second");
  TWinHttpRequest request;
  TEventLog log(request);
  request.Open(u"GET", Wide(Nginx->Url("a.dat")), true);
  request.Send();
  request.Open(u"GET", Wide(Nginx->Url("b.dat")), true);
  request.Send();
  ASSERT_TRUE(AwaitEnd(log));
  EXPECT_EQ(log.Events, (Events{"start 200 application/octet-stream", "data", "finished"}));
  EXPECT_EQ(log.Body, "second");
}

TEST(WinHttpRequest, CallsOutOfPlaceRaiseWithTheirNumbers) {
  TFaultServer server;
  server.SetScript({.Body = "x", .PauseAfter = 0});
  TWinHttpRequest request;
  EXPECT_EQ(NumberOf([&] { request.Send(); }), kHttpErrorCannotCallBeforeOpen);
  EXPECT_EQ(NumberOf([&] { request.SetRequestHeader(u"A", u"b"); }), kHttpErrorCannotCallBeforeOpen);
  EXPECT_EQ(NumberOf([&] { request.Open(u"GET", Wide(server.Url()), false); }), kHttpErrorNotSupported);
  EXPECT_EQ(NumberOf([&] { request.Open(u"GET", u"ftp://127.0.0.1/x", true); }), kHttpErrorUnrecognizedScheme);
  EXPECT_EQ(NumberOf([&] { request.Open(u"GET", u"not a url", true); }), kHttpErrorInvalidUrl);
  EXPECT_EQ(NumberOf([&] { request.Open(u"G ET", Wide(server.Url()), true); }), kHttpErrorInvalidParameter);

  request.Open(u"GET", Wide(server.Url()), true);
  EXPECT_EQ(NumberOf([&] { request.GetResponseHeader(u"Content-Length"); }), kHttpErrorCannotCallBeforeSend);
  EXPECT_EQ(NumberOf([&] { request.SetRequestHeader(u"Bad Name", u"x"); }), kHttpErrorInvalidParameter);
  EXPECT_EQ(NumberOf([&] { request.SetRequestHeader(u"X-Split", u"a\r\nInjected: yes"); }),
            kHttpErrorInvalidParameter);
  request.Send();
  EXPECT_EQ(NumberOf([&] { request.GetResponseHeader(u"Content-Length"); }), kHttpErrorIncorrectHandleState);
  EXPECT_EQ(NumberOf([&] { request.SetRequestHeader(u"A", u"b"); }), kHttpErrorCannotCallAfterSend);
  EXPECT_EQ(NumberOf([&] { request.Send(); }), kHttpErrorCannotCallAfterSend);
  EXPECT_EQ(request.HttpStatus(), hsNone);
  server.Resume();
}

TEST(WinHttpRequest, ARefusedConnectionIsOneErrorEvent) {
  TWinHttpRequest request;
  TEventLog log(request);
  request.Open(u"GET", Wide("http://127.0.0.1:" + std::to_string(PickFreeLoopbackPort()) + "/x"), true);
  request.Send();
  ASSERT_TRUE(AwaitEnd(log));
  RunLoopFor(kQuietMs);
  EXPECT_EQ(log.Events, (Events{"error " + std::to_string(kHttpErrorCannotConnect)}));
  EXPECT_EQ(request.HttpStatus(), hsError);
}

TEST(WinHttpRequest, AConnectionClosedInTheBodyEndsInErrorNotFinished) {
  TFaultServer server;
  server.SetScript({.Body = PatternBytes(5000), .CloseAfter = 1000});
  TWinHttpRequest request;
  TEventLog log(request);
  request.Open(u"GET", Wide(server.Url()), true);
  request.Send();
  ASSERT_TRUE(AwaitEnd(log));
  EXPECT_EQ(log.Events, (Events{"start 200 application/octet-stream", "data",
                                "error " + std::to_string(kHttpErrorConnectionError)}));
  EXPECT_EQ(log.Body, PatternBytes(5000).substr(0, 1000));
}

TEST(WinHttpRequest, NothingFollowsAbort) {
  TFaultServer server;
  server.SetScript({.Body = PatternBytes(5000), .PauseAfter = 1000});
  TWinHttpRequest request;
  TEventLog log(request);
  request.Abort();  // before Open: nothing to stop
  request.Open(u"GET", Wide(server.Url()), true);
  request.Send();
  ASSERT_TRUE(RunLoopUntil([&] { return log.Body.size() == 1000; }, kPatienceMs));
  request.Abort();
  server.Resume();
  RunLoopFor(kQuietMs);
  EXPECT_EQ(log.Events, (Events{"start 200 application/octet-stream", "data"}));
  EXPECT_EQ(log.Body.size(), 1000u);
  EXPECT_EQ(request.HttpStatus(), hsStart);
}

TEST(WinHttpRequest, AHandlerMayDestroyItsRequest) {
  TFaultServer server;
  server.SetScript({.Body = PatternBytes(200000), .ChunkBytes = 1000, .ChunkDelayMs = 1});
  auto request = std::make_unique<TWinHttpRequest>();
  int pieces = 0;
  request->OnResponseDataAvailable = [&](TWinHttpRequest&, int32_t, const uint8_t*) {
    ++pieces;
    request.reset();
  };
  request->Open(u"GET", Wide(server.Url()), true);
  request->Send();
  ASSERT_TRUE(RunLoopUntil([&] { return request == nullptr; }, kPatienceMs));
  RunLoopFor(kQuietMs);
  EXPECT_EQ(pieces, 1);
}

TEST(WinHttpRequest, RequestHeadersReachTheServerAsGiven) {
  TFaultServer server;
  server.SetScript({.Body = "abc"});
  TWinHttpRequest request;
  TEventLog log(request);
  request.Open(u"GET", Wide(server.Url()), true);
  request.SetRequestHeader(u"RANGE", u"bytes=1-");
  request.SetRequestHeader(u"X-Empty", u"");
  request.Send();
  ASSERT_TRUE(AwaitEnd(log));
  ASSERT_EQ(server.Requests().size(), 1u);
  const std::vector<std::string> lines = server.Requests()[0].HeaderLines;
  EXPECT_NE(std::find(lines.begin(), lines.end(), "RANGE: bytes=1-"), lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "X-Empty:"), lines.end());
  EXPECT_EQ(log.Body, "bc");
}

}  // namespace
}  // namespace qel::test
