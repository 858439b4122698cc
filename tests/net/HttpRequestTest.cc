// THttpRequest: HEAD then ranged GET, the state applied only by Poll, and
// every way a transfer fails ending in rsError with one notification.
#include "net/HttpRequest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "FaultServer.h"
#include "LoopbackPort.h"
#include "NetTestSupport.h"
#include "platform/Loop.h"

namespace qel::test {
namespace {

constexpr size_t kPackBytes = 1024 * 1024 + 333;

bool HasRangeLine(const TRecordedRequest& request) {
  return std::any_of(request.HeaderLines.begin(), request.HeaderLines.end(), [](const std::string& line) {
    return line.size() >= 6 && (line.substr(0, 6) == "RANGE:" || line.substr(0, 6) == "Range:" ||
                                line.substr(0, 6) == "range:");
  });
}

class HttpRequestAgainstNginx : public NginxTest {
 protected:
  void SetUp() override {
    NginxTest::SetUp();
    if (!Nginx) return;
    Nginx->PutFile("pack.dat", File);
  }
  const std::string File = PatternBytes(kPackBytes, 7);
};

TEST_F(HttpRequestAgainstNginx, AFreshTransferHoldsTheWholeFile) {
  THttpRequest request;
  TNotifications notes(request);
  request.Start(Wide(Nginx->Url("pack.dat")), 0);
  EXPECT_EQ(request.State(), rsHead);
  ASSERT_TRUE(AwaitState(request, rsDone));
  EXPECT_EQ(notes.Completed, 1);
  EXPECT_EQ(notes.Failed, 0);
  EXPECT_EQ(request.ContentLength(), static_cast<int32_t>(kPackBytes));
  EXPECT_EQ(request.Received(), static_cast<int32_t>(kPackBytes));
  ASSERT_NE(request.Data(), nullptr);
  EXPECT_TRUE(AsString(*request.Data()) == File);
  EXPECT_EQ(request.NewData(), request.Data()->Memory());
}

TEST_F(HttpRequestAgainstNginx, AResumedTransferFetchesTheRestAfterTheOffset) {
  THttpRequest request;
  TNotifications notes(request);
  request.Start(Wide(Nginx->Url("pack.dat")), 1000);
  ASSERT_TRUE(AwaitState(request, rsDone));
  EXPECT_EQ(notes.Completed, 1);
  EXPECT_EQ(request.Received(), static_cast<int32_t>(kPackBytes - 1000));
  ASSERT_NE(request.Data(), nullptr);
  EXPECT_EQ(request.NewData(), request.Data()->Memory() + 1000);
  EXPECT_TRUE(AsString(*request.Data()).substr(1000) == File.substr(1000));
}

TEST(HttpRequest, OnlyAResumedGetCarriesTheRangeHeaderExactly) {
  TFaultServer server;
  server.SetScript({.Body = PatternBytes(3000)});
  for (const int32_t offset : {0, 1000}) {
    SCOPED_TRACE(offset);
    THttpRequest request;
    request.Start(Wide(server.Url()), offset);
    ASSERT_TRUE(AwaitState(request, rsDone));
  }
  const std::vector<TRecordedRequest> seen = server.Requests();
  ASSERT_EQ(seen.size(), 4u);
  EXPECT_EQ(seen[0].Method, "HEAD");
  EXPECT_EQ(seen[1].Method, "GET");
  EXPECT_FALSE(HasRangeLine(seen[0]));
  EXPECT_FALSE(HasRangeLine(seen[1]));
  EXPECT_EQ(seen[2].Method, "HEAD");
  EXPECT_FALSE(HasRangeLine(seen[2]));
  EXPECT_EQ(seen[3].Method, "GET");
  const auto& lines = seen[3].HeaderLines;
  EXPECT_NE(std::find(lines.begin(), lines.end(), "RANGE: bytes=1000-"), lines.end());
}

TEST(HttpRequest, EventsOnlyRecordAndPollAppliesTheState) {
  TFaultServer server;
  const std::string body = PatternBytes(5000);
  server.SetScript({.Body = body});
  THttpRequest request;
  TNotifications notes(request);
  request.Start(Wide(server.Url()), 1000);
  EXPECT_EQ(request.NewData(), nullptr);

  // The HEAD finishes, but without Poll the GET does not start.
  ASSERT_TRUE(RunLoopUntil([&] { return request.ContentLength() == 5000; }, kPatienceMs));
  EXPECT_EQ(request.State(), rsHead);
  ASSERT_NE(request.NewData(), nullptr);
  EXPECT_EQ(request.NewData(), request.Data()->Memory() + 1000);
  RunLoopFor(kQuietMs);
  EXPECT_EQ(server.Requests().size(), 1u);

  request.Poll();
  EXPECT_EQ(request.State(), rsGet);
  ASSERT_TRUE(RunLoopUntil([&] { return request.Received() == 4000; }, kPatienceMs));
  RunLoopFor(kQuietMs);
  EXPECT_EQ(request.State(), rsGet);
  EXPECT_EQ(notes.Completed, 0);

  request.Poll();
  EXPECT_EQ(request.State(), rsDone);
  EXPECT_EQ(notes.Completed, 1);
  request.Poll();
  EXPECT_EQ(notes.Completed, 1);
}

struct TFailureCase {
  const char* Name;
  TFaultScript Script;
  int32_t Offset;
};

void PrintTo(const TFailureCase& failure, std::ostream* out) { *out << failure.Name; }

class HttpRequestFailure : public ::testing::TestWithParam<TFailureCase> {};

TEST_P(HttpRequestFailure, EndsInErrorWithOneNotificationAndNothingAfter) {
  TFaultServer server;
  server.SetScript(GetParam().Script);
  THttpRequest request;
  TNotifications notes(request);
  request.Start(Wide(server.Url()), GetParam().Offset);
  ASSERT_TRUE(AwaitState(request, rsError));
  server.Resume();
  RunQuietly(request);
  EXPECT_EQ(request.State(), rsError);
  EXPECT_EQ(notes.Failed, 1);
  EXPECT_EQ(notes.Completed, 0);
  request.Abort();
  EXPECT_EQ(request.State(), rsError);
}

const std::string kBody = PatternBytes(3000, 3);

INSTANTIATE_TEST_SUITE_P(
    Faults, HttpRequestFailure,
    ::testing::Values(TFailureCase{"HeadWithoutLength", {.Body = kBody, .HeadWithoutLength = true}, 0},
                      TFailureCase{"HeadLengthNotANumber", {.Body = kBody, .HeadLength = "12abc"}, 0},
                      TFailureCase{"HeadLengthNegative", {.Body = kBody, .HeadLength = "-5"}, 0},
                      TFailureCase{"HeadLengthBeyond2GiB", {.Body = kBody, .HeadLength = "2147483648"}, 0},
                      TFailureCase{"ClosedInTheBody", {.Body = kBody, .CloseAfter = 1200}, 0},
                      TFailureCase{"FewerBytesThanTheHeadAnnounced", {.Body = kBody, .HeadLength = "3500"}, 0},
                      TFailureCase{"MoreBytesThanTheHeadAnnounced", {.Body = kBody, .HeadLength = "2500"}, 0},
                      TFailureCase{"GetAnnouncesMoreThanItSends", {.Body = kBody, .GetLength = 4000}, 0}),
    [](const ::testing::TestParamInfo<TFailureCase>& info) { return std::string(info.param.Name); });

TEST(HttpRequest, OnlySuccessCarriesTheResourceAndTheStatusIsInTheFailure) {
  for (const auto& [status, offset] : {std::pair{404, 0}, std::pair{500, 0}, std::pair{503, 1000}}) {
    SCOPED_TRACE(status);
    TFaultServer server;
    server.SetScript({.Body = kBody, .Status = status});
    THttpRequest request;
    TNotifications notes(request);
    request.Start(Wide(server.Url()), offset);
    ASSERT_TRUE(AwaitState(request, rsError));
    EXPECT_EQ(notes.Failed, 1);
    EXPECT_NE(request.FailureText().find(std::to_string(status)), std::string::npos) << request.FailureText();
    // Refused at the HEAD: no GET follows.
    EXPECT_EQ(server.Requests().size(), 1u);
  }
}

TEST(HttpRequest, AResumeContinuesOnlyWhileTheResourceKeepsItsValidator) {
  TFaultServer server;
  server.SetScript({.Body = kBody, .ETag = "\"v2\""});
  // The same validator: a range, guarded by If-Range.
  THttpRequest same;
  same.ResumeValidator = "\"v2\"";
  same.Start(Wide(server.Url()), 1000);
  ASSERT_TRUE(AwaitState(same, rsDone));
  EXPECT_EQ(same.Offset(), 1000);
  const std::vector<std::string> lines = server.Requests().back().HeaderLines;
  EXPECT_NE(std::find(lines.begin(), lines.end(), "If-Range: \"v2\""), lines.end());

  // Another validator, or more held bytes than the resource has: from 0.
  for (const auto& [validator, offset] : {std::pair{"\"v1\"", 1000}, std::pair{"\"v2\"", 3001}}) {
    THttpRequest changed;
    changed.ResumeValidator = validator;
    changed.Start(Wide(server.Url()), offset);
    ASSERT_TRUE(AwaitState(changed, rsDone));
    EXPECT_EQ(changed.Offset(), 0);
    EXPECT_FALSE(HasRangeLine(server.Requests().back()));
    EXPECT_TRUE(AsString(*changed.Data()) == kBody);
  }

  // Every byte held: no GET at all.
  const size_t before = server.Requests().size();
  THttpRequest held;
  held.ResumeValidator = "\"v2\"";
  held.Start(Wide(server.Url()), 3000);
  ASSERT_TRUE(AwaitState(held, rsDone));
  EXPECT_EQ(server.Requests().size(), before + 1);
  EXPECT_EQ(server.Requests().back().Method, "HEAD");
}

TEST(HttpRequest, ASilentServerFailsWithTheTimeout) {
  for (const bool head : {true, false}) {
    SCOPED_TRACE(head ? "silent HEAD" : "stalled body");
    TFaultServer server;
    if (head) {
      server.SetScript({.Body = kBody, .StallHead = true});
    } else {
      server.SetScript({.Body = kBody, .PauseAfter = 1000});
    }
    THttpRequest request;
    request.TimeoutMs = 300;
    request.Start(Wide(server.Url()), 0);
    ASSERT_TRUE(AwaitState(request, rsError));
    EXPECT_NE(request.FailureText().find(std::to_string(kHttpErrorTimeout)), std::string::npos)
        << request.FailureText();
    server.Resume();
  }
}

// A sink with a buffer of its own, which only the test empties.
class TBufferedSink final : public IRequestBody {
 public:
  static constexpr int64_t kCapacity = 2 * 1024 * 1024;
  bool BodyStarts(int32_t, int32_t) override { return true; }
  bool BodyData(const uint8_t* data, int32_t size) override {
    Overfilled = Overfilled || size > Room;
    Room -= size;
    Bytes.append(reinterpret_cast<const char*>(data), static_cast<size_t>(size));
    return true;
  }
  int64_t BodyRoom() const override { return Room; }

  int64_t Room = kCapacity;
  std::string Bytes;
  bool Overfilled = false;
};

TEST(HttpRequest, ASinkWithoutRoomHoldsTheBodyBackUntimedAndIsNeverOverfilled) {
  TFaultServer server;
  const std::string body = PatternBytes(12 * 1024 * 1024, 9);
  server.SetScript({.Body = body});
  TBufferedSink sink;
  THttpRequest request;
  request.SetBody(&sink);
  // The limit also runs before the first byte: long enough for a loaded
  // machine's server, short enough to outwait below.
  request.TimeoutMs = 1000;
  request.Start(Wide(server.Url()), 0);
  ASSERT_TRUE(RunLoopUntil(
      [&] {
        request.Poll();
        return sink.Room < kMostBodyBytesPerEvent;
      },
      kPatienceMs));
  // Left full for longer than the time limit: nothing comes, nothing fails.
  const size_t taken = sink.Bytes.size();
  RunLoopUntil(
      [&] {
        request.Poll();
        return false;
      },
      2 * request.TimeoutMs);
  EXPECT_EQ(sink.Bytes.size(), taken);
  EXPECT_EQ(request.State(), rsGet);

  // Emptied at every turn, it takes the rest.
  ASSERT_TRUE(RunLoopUntil(
      [&] {
        request.Poll();
        sink.Room = TBufferedSink::kCapacity;
        return request.State() == rsDone || request.State() == rsError;
      },
      kPatienceMs));
  EXPECT_EQ(request.State(), rsDone) << request.FailureText();
  EXPECT_TRUE(sink.Bytes == body);
  EXPECT_FALSE(sink.Overfilled);
}

TEST(HttpRequest, ARecordedFailureIsNotOverwrittenByALaterEventBeforePoll) {
  TFaultServer server;
  server.SetScript({.Body = kBody, .PauseAfter = 0});
  THttpRequest request;
  TNotifications notes(request);
  TWinHttpRequest* get = nullptr;
  request.OnPlatformRequestForTesting = [&](TWinHttpRequest& platform) { get = &platform; };
  request.Start(Wide(server.Url()), 0);
  ASSERT_TRUE(RunLoopUntil(
      [&] {
        request.Poll();
        return request.State() == rsGet && server.Paused();
      },
      kPatienceMs));
  // Between two Polls: every byte, then an error, then the end of the body.
  get->OnResponseDataAvailable(*get, 3000, reinterpret_cast<const uint8_t*>(kBody.data()));
  get->OnError(*get, kHttpErrorConnectionError, u"reset");
  get->OnResponseFinished(*get);
  request.Poll();
  EXPECT_EQ(request.State(), rsError);
  EXPECT_EQ(notes.Completed, 0);
  EXPECT_EQ(notes.Failed, 1);
  server.Resume();
}

TEST(HttpRequest, ARefusedConnectionFailsOnce) {
  THttpRequest request;
  TNotifications notes(request);
  request.Start(Wide("http://127.0.0.1:" + std::to_string(PickFreeLoopbackPort()) + "/x"), 0);
  ASSERT_TRUE(AwaitState(request, rsError));
  RunQuietly(request);
  EXPECT_EQ(notes.Failed, 1);
}

TEST(HttpRequest, AFailedStartNotifiesInsideStart) {
  for (const auto& [url, offset] : {std::pair<std::u16string, int32_t>{u"ftp://127.0.0.1/x", 0},
                                    std::pair<std::u16string, int32_t>{u"http://127.0.0.1:1/x", -1}}) {
    THttpRequest request;
    TNotifications notes(request);
    request.Start(url, offset);
    EXPECT_EQ(request.State(), rsError);
    EXPECT_EQ(notes.Failed, 1);
    RunQuietly(request);
    EXPECT_EQ(notes.Failed, 1);
  }
}

TEST(HttpRequest, AGetThatOverrunsIsStoppedBeforeTheBufferGrows) {
  TFaultServer server;
  // The server holds the connection open after 3000 of 5000 bytes until
  // Resume(), so the error cannot come from the body ending: the overrun
  // itself must be seen. (The client may hang up before the server reaches
  // its pause, so whether it paused is not asked.)
  server.SetScript({.Body = PatternBytes(5000), .HeadLength = "1000", .PauseAfter = 3000});
  THttpRequest request;
  TNotifications notes(request);
  request.Start(Wide(server.Url()), 0);
  ASSERT_TRUE(AwaitState(request, rsError));
  EXPECT_LE(request.Received(), 1000);
  ASSERT_NE(request.Data(), nullptr);
  EXPECT_EQ(request.Data()->Size(), 1000);
  EXPECT_TRUE(AsString(*request.Data()).substr(0, request.Received()) ==
              PatternBytes(5000).substr(0, request.Received()));
  const int32_t received = request.Received();
  server.Resume();
  RunQuietly(request);
  EXPECT_EQ(request.Received(), received);
  EXPECT_EQ(notes.Failed, 1);
}

TEST(HttpRequest, AbortStopsOnlyARunningTransferAndLeavesTheState) {
  TFaultServer server;
  server.SetScript({.Body = PatternBytes(3000), .PauseAfter = 1000});
  THttpRequest request;
  TNotifications notes(request);
  request.Abort();
  EXPECT_EQ(request.State(), rsNone);
  request.Start(Wide(server.Url()), 0);
  ASSERT_TRUE(RunLoopUntil(
      [&] {
        request.Poll();
        return request.Received() == 1000;
      },
      kPatienceMs));
  request.Abort();
  server.Resume();
  RunQuietly(request);
  EXPECT_EQ(request.State(), rsGet);
  EXPECT_EQ(request.Received(), 1000);
  EXPECT_EQ(notes.Completed + notes.Failed, 0);

  server.SetScript({.Body = "done"});
  THttpRequest finished;
  finished.Start(Wide(server.Url()), 0);
  ASSERT_TRUE(AwaitState(finished, rsDone));
  finished.Abort();
  EXPECT_EQ(finished.State(), rsDone);
}

TEST(HttpRequest, DestroyingARunningRequestCallsNothing) {
  TFaultServer server;
  server.SetScript({.Body = PatternBytes(3000), .ChunkBytes = 100, .ChunkDelayMs = 2});
  int calls = 0;
  auto request = std::make_unique<THttpRequest>();
  request->OnComplete = [&](THttpRequest&) { ++calls; };
  request->OnFailed = [&](THttpRequest&) { ++calls; };
  request->Start(Wide(server.Url()), 0);
  ASSERT_TRUE(RunLoopUntil(
      [&] {
        request->Poll();
        return request->Received() > 0;
      },
      kPatienceMs));
  request.reset();
  RunLoopFor(kQuietMs);
  EXPECT_EQ(calls, 0);
}

}  // namespace
}  // namespace qel::test
