// The running game's requests against the page, from the game's side of the
// channel to the fake page and back: argument and result conversion, the
// three targets, evaluation, failures, and the order of answers.
#include <optional>

#include "GameChannel.h"
#include "GameFiles.h"
#include "LauncherFixture.h"
#include "msg/PageCallKind.h"
#include "platform/Error.h"
#include "platform/Loop.h"

namespace qel::test {
namespace {

constexpr int kPatienceMs = 2000;

class PageCalls : public LauncherTest {
 protected:
  void Run(Attributes extra = {}) {
    BringToReady(std::move(extra));
    game = StartAndRun();
    // The test ticks by hand, so that it knows which tick served what.
    Plugin().Form().Timer1.SetEnabled(false);
    channel.emplace(game, Plugin().Form().Handle());
  }
  void TearDown() override {
    channel.reset();
    LauncherTest::TearDown();
  }

  // Sends the requests, lets them arrive, serves them in one tick and
  // collects the answers that come back.
  std::vector<TQEL_Message> Serve(const std::vector<TQEL_Message>& requests, size_t expected_answers) {
    for (const TQEL_Message& request : requests) EXPECT_TRUE(channel->Send(request));
    EXPECT_TRUE(RunLoopUntil([&] { return Plugin().MsgReceiver()->MessageCount() == requests.size(); }, kPatienceMs));
    Tick();
    EXPECT_EQ(Plugin().MsgReceiver()->MessageCount(), 0u);
    std::vector<TQEL_Message> answers;
    while (answers.size() < expected_answers) {
      std::optional<TQEL_Message> answer = channel->WaitForAnswer(kPatienceMs);
      if (!answer) break;
      answers.push_back(*answer);
    }
    return answers;
  }
  TQEL_Message ServeOne(const TQEL_Message& request) {
    std::vector<TQEL_Message> answers = Serve({request}, 1);
    return answers.empty() ? TQEL_Message{} : answers[0];
  }
  // A page function answering a copy of `value`, which goes back to the browser.
  void DefineReturning(FakePageObject& target, const std::string& name, NPVariant value) {
    target.DefineFunction(name, value);
    browser.ReleaseVariant(value);
  }
  FakePageObject& Window() { return browser.Page().Window(); }

  TWindowHandle game = 0;
  std::optional<GameChannelClient> channel;
};

TEST_F(PageCalls, ValuesCrossBothWaysInTheirKinds) {
  SetAnsiCharsetForTesting("ISO-8859-1");
  Run();
  DefineReturning(Window(), "answer", FakeBrowser::IntVariant(42));
  DefineReturning(Window(), "fraction", FakeBrowser::DoubleVariant(2.5));
  DefineReturning(Window(), "greeting", browser.StringVariant("Gr\xC3\xBC\xC3\x9F" "e"));
  DefineReturning(Window(), "yes", FakeBrowser::BoolVariant(true));
  DefineReturning(Window(), "nothing", FakeBrowser::VoidVariant());

  const TQEL_Message answer = ServeOne(PageCallRequest(
      7, pcCallWindow, "answer", {},
      {TQEL_Variant::Integer(-5), TQEL_Variant::Double(0.5), TQEL_Variant::String("s\xFC"), TQEL_Variant::Boolean(true),
       TQEL_Variant::WideString(u"w\u00E9"), TQEL_Variant::Empty(), TQEL_Variant::ByteArray({1, 2})}));
  EXPECT_EQ(answer.Id, 7);
  EXPECT_EQ(answer.Kind, pcCallWindow);
  EXPECT_EQ(answer.Code, 1);
  EXPECT_EQ(answer.Values, std::vector<TQEL_Variant>{TQEL_Variant::Integer(42)});
  ASSERT_EQ(Window().CallsOf("answer").size(), 1u);
  EXPECT_EQ(Window().CallsOf("answer")[0],
            (std::vector<std::string>{"Int32 -5", "Double 0.5", "String s\xC3\xBC", "Bool true", "String w\xC3\xA9",
                                      "Void", "Void"}));

  EXPECT_EQ(ServeOne(PageCallRequest(8, pcCallWindow, "fraction")).Values,
            std::vector<TQEL_Variant>{TQEL_Variant::Double(2.5)});
  EXPECT_EQ(ServeOne(PageCallRequest(9, pcCallWindow, "greeting")).Values,
            std::vector<TQEL_Variant>{TQEL_Variant::String("Gr\xFC\xDF" "e")});
  EXPECT_EQ(ServeOne(PageCallRequest(10, pcCallWindow, "yes")).Values, std::vector<TQEL_Variant>{TQEL_Variant::Boolean(true)});
  const TQEL_Message nothing = ServeOne(PageCallRequest(11, pcCallWindow, "nothing"));
  EXPECT_EQ(nothing.Code, 1);
  EXPECT_TRUE(nothing.Values.empty());
}

TEST_F(PageCalls, UnicodeparamSendsTextsWide) {
  Run({{"unicodeparam", "true"}});
  DefineReturning(Window(), "greeting", browser.StringVariant("\xE6\x97\xA5\xE6\x9C\xAC"));
  EXPECT_EQ(ServeOne(PageCallRequest(1, pcCallWindow, "greeting")).Values,
            std::vector<TQEL_Variant>{TQEL_Variant::WideString(u"\u65E5\u672C")});
}

TEST_F(PageCalls, ArrayResultsGiveTheirElementsAndUnusableLengthsGetNoReply) {
  Run();
  FakePage& page = browser.Page();
  ObjectRef inner = page.NewObject();
  NPVariant text = browser.StringVariant("x");
  NPVariant object = browser.ObjectVariant(inner.get());
  const NPVariant elements[] = {FakeBrowser::IntVariant(7), text, FakeBrowser::BoolVariant(true),
                                FakeBrowser::NullVariant(), object};
  ObjectRef array = page.NewArray(elements);
  browser.ReleaseVariant(text);
  browser.ReleaseVariant(object);
  DefineReturning(Window(), "list", browser.ObjectVariant(array.get()));
  EXPECT_EQ(ServeOne(PageCallRequest(1, pcCallWindow, "list")).Values,
            (std::vector<TQEL_Variant>{TQEL_Variant::Integer(7), TQEL_Variant::String("x"),
                                       TQEL_Variant::Boolean(true), TQEL_Variant::Integer(0),
                                       TQEL_Variant::Integer(0)}));

  // An element the page does not give keeps its place as 0.
  ObjectRef holes = page.NewObject();
  FakePageObject::From(holes.get())->Set("length", FakeBrowser::IntVariant(3));
  FakePageObject::From(holes.get())->Set("2", FakeBrowser::IntVariant(9));
  DefineReturning(Window(), "holes", browser.ObjectVariant(holes.get()));
  EXPECT_EQ(ServeOne(PageCallRequest(2, pcCallWindow, "holes")).Values,
            (std::vector<TQEL_Variant>{TQEL_Variant::Integer(0), TQEL_Variant::Integer(0), TQEL_Variant::Integer(9)}));

  // No length, or one that is negative, fractional, not a number or more
  // than one reply carries: no reply at all. The request after them is the
  // first to be answered.
  const std::vector<NPVariant> lengths = {FakeBrowser::IntVariant(-1), FakeBrowser::DoubleVariant(2.5),
                                          FakeBrowser::BoolVariant(true), FakeBrowser::IntVariant(256),
                                          FakeBrowser::DoubleVariant(4e9)};
  std::vector<ObjectRef> hostile;
  std::vector<TQEL_Message> requests;
  hostile.push_back(page.NewObject());  // a plain object
  DefineReturning(Window(), "plain", browser.ObjectVariant(hostile.back().get()));
  requests.push_back(PageCallRequest(10, pcCallWindow, "plain"));
  for (size_t i = 0; i < lengths.size(); ++i) {
    hostile.push_back(page.NewObject());
    FakePageObject::From(hostile.back().get())->Set("length", lengths[i]);
    const std::string name = "hostile" + std::to_string(i);
    DefineReturning(Window(), name, browser.ObjectVariant(hostile.back().get()));
    requests.push_back(PageCallRequest(static_cast<int32_t>(11 + i), pcCallWindow, name));
  }
  requests.push_back(PageCallRequest(99, pcCallWindow, "list"));
  const std::vector<TQEL_Message> answers = Serve(requests, 1);
  ASSERT_EQ(answers.size(), 1u);
  EXPECT_EQ(answers[0].Id, 99);
  EXPECT_FALSE(channel->WaitForAnswer(100));
  EXPECT_EQ(FakePageObject::From(hostile[4].get())->ReadsOf("0"), 0);  // 4e9 elements never read
}

TEST_F(PageCalls, FailuresMissingTargetsAndEvaluations) {
  Run();
  Window().DefineThrowingFunction("broken");
  Window().AnswerScript("document.title = 'x'", FakeBrowser::VoidVariant());
  const std::vector<TQEL_Message> answers =
      Serve({PageCallRequest(1, pcCallWindow, "broken"), PageCallRequest(2, pcCallWindow, "absent"),
             PageCallRequest(3, pcCallParent, "anything"), PageCallRequest(4, pcEvalParent, "1"),
             PageCallRequest(5, pcCallFrame, "anything", "side"), PageCallRequest(6, pcEvalWindow, "document.title = 'x'"),
             PageCallRequest(7, pcEvalWindow, "throw 1")},
            7);
  ASSERT_EQ(answers.size(), 7u);
  const uint8_t codes[] = {0, 0, 0, 0, 0, 1, 0};
  for (size_t i = 0; i < answers.size(); ++i) {
    EXPECT_EQ(answers[i].Id, static_cast<int32_t>(i + 1));
    EXPECT_EQ(answers[i].Code, codes[i]) << "request " << i + 1;
    EXPECT_TRUE(answers[i].Values.empty());
  }
}

TEST_F(PageCalls, TheParentPageAndItsFramesAreReached) {
  Run();
  FakePage& page = browser.Page();
  DefineReturning(page.ParentWindow(), "fromParent", FakeBrowser::IntVariant(1));
  FakePageObject& frame = page.AddFrame("side");
  DefineReturning(frame, "fromFrame", FakeBrowser::IntVariant(2));
  frame.AnswerScript("go()", FakeBrowser::IntVariant(3));
  const std::vector<TQEL_Message> answers =
      Serve({PageCallRequest(1, pcCallParent, "fromParent", {}, {TQEL_Variant::Integer(5)}),
             PageCallRequest(2, pcCallFrame, "fromFrame", "side"), PageCallRequest(3, pcEvalFrame, "go()", "side"),
             PageCallRequest(4, pcCallFrame, "fromFrame", "elsewhere")},
            4);
  ASSERT_EQ(answers.size(), 4u);
  EXPECT_EQ(answers[0].Values, std::vector<TQEL_Variant>{TQEL_Variant::Integer(1)});
  EXPECT_EQ(page.ParentWindow().CallsOf("fromParent"), (std::vector<std::vector<std::string>>{{"Int32 5"}}));
  EXPECT_EQ(answers[1].Values, std::vector<TQEL_Variant>{TQEL_Variant::Integer(2)});
  EXPECT_EQ(answers[2].Code, 1);
  EXPECT_TRUE(answers[2].Values.empty());  // an evaluation's value stays in the page
  EXPECT_EQ(answers[3].Code, 0);
}

// Without the page's window the tick ends: the request in hand is dropped,
// the rest wait for the next tick.
TEST_F(PageCalls, WithoutThePagesWindowTheTickEndsAndTheRestWait) {
  Run();
  DefineReturning(Window(), "answer", FakeBrowser::IntVariant(42));
  browser.Page().FailWindowObject(NPERR_GENERIC_ERROR);
  for (int id : {1, 2}) EXPECT_TRUE(channel->Send(PageCallRequest(id, pcCallWindow, "answer")));
  ASSERT_TRUE(RunLoopUntil([&] { return Plugin().MsgReceiver()->MessageCount() == 2; }, kPatienceMs));
  EXPECT_THROW(Tick(), EQelError);
  EXPECT_EQ(Plugin().MsgReceiver()->MessageCount(), 1u);
  browser.Page().FailWindowObject(NPERR_NO_ERROR);
  Tick();
  const std::optional<TQEL_Message> answer = channel->WaitForAnswer(kPatienceMs);
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->Id, 2);
}

// Before the game runs nobody serves requests, and afterwards only the
// game's own window is heard; both are taken and dropped.
TEST_F(PageCalls, RequestsBeforeTheGameRunsOrFromAnotherWindowAreDropped) {
  BringToReady();
  EXPECT_TRUE(Write("startapp", FakeBrowser::BoolVariant(true)));
  const TWindowHandle form = Plugin().Form().Handle();
  const TWindowHandle early = windows.AddTopLevel("", "", 0);
  {
    GameChannelClient before(early, form);
    EXPECT_TRUE(before.Send(PageCallRequest(1, pcCallWindow, "answer")));
    RunLoopFor(50);
  }
  windows.AddTopLevel(kWindowTitle, kWindowClass, kGamePid);
  ASSERT_TRUE(TickUntilState(lsRunning));
  Plugin().Form().Timer1.SetEnabled(false);
  EXPECT_EQ(Plugin().MsgReceiver()->MessageCount(), 0u);
  GameChannelClient stranger(early, form);
  EXPECT_TRUE(stranger.Send(PageCallRequest(2, pcCallWindow, "answer")));
  // An answer's block from the game itself is no request either.
  const uint8_t answer[] = {3, 0, 0, 0, pcCallWindow, 0};
  GameChannelClient game_side(Plugin().MsgReceiver()->GameWindow(), form);
  EXPECT_TRUE(game_side.SendBlock(kMagicAnswer, answer));
  RunLoopFor(50);
  EXPECT_EQ(Plugin().MsgReceiver()->MessageCount(), 0u);
}

}  // namespace
}  // namespace qel::test
