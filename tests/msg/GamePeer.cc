// A stand-in for the game client in its own process: it makes its game
// window (a window of its own thread, as a game's is), writes the window's
// id as a line and listens on it; once a line comes in it announces itself
// to the plug-in's window with a "ready" call, and echoes every answer back
// as a call request ("echo <kind> <code>" with the answer's id and values),
// until an answer of kind 2 ends it.
//   msg_game_peer <plug-in window> [garbage]
// "garbage" first sends a request whose value list does not fit its block.
// Exit codes: 0 done, 2 setup failed, 3 a send was not taken, 4 no answer.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "GameChannel.h"
#include "TestWindows.h"
#include "msg/PageCallKind.h"

namespace {

constexpr int kPatienceMs = 20000;

int Run(qel::TWindowHandle plugin, bool garbage) {
  using namespace qel;
  test::GameChannelClient client(test::UniqueWindow(), plugin);
  std::printf("%llu\n", static_cast<unsigned long long>(client.GameWindow()));
  std::fflush(stdout);
  // The plug-in's side listens once it knows the game's window.
  char go[16];
  if (std::fgets(go, sizeof go, stdin) == nullptr) return 2;
  if (garbage) {
    // Id 5, kind 1, no text, a list of 2 values that holds one.
    const uint8_t bad[] = {5, 0, 0, 0, pcCallWindow, 0, 2, 4, 1};
    if (!client.SendBlock(kMagicRequest, bad, kPatienceMs)) return 3;
  }
  TQEL_Message ready;
  ready.Kind = pcCallWindow;
  ready.Text = "ready";
  if (!client.Send(ready, kPatienceMs)) return 3;
  for (;;) {
    std::optional<TQEL_Message> answer = client.WaitForAnswer(kPatienceMs);
    if (!answer) return 4;
    if (answer->Kind == pcEvalWindow) return 0;
    TQEL_Message echo;
    echo.Id = answer->Id;
    echo.Kind = pcCallWindow;
    echo.Text = "echo " + std::to_string(answer->Kind) + " " + std::to_string(answer->Code);
    echo.Values = answer->Values;
    if (!client.Send(echo, kPatienceMs)) return 3;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s <plug-in window> [garbage]\n", argv[0]);
    return 2;
  }
  const auto plugin = static_cast<qel::TWindowHandle>(std::strtoull(argv[1], nullptr, 0));
  const bool garbage = argc > 2 && std::string(argv[2]) == "garbage";
  try {
    return Run(plugin, garbage);
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "msg_game_peer: %s\n", failure.what());
    return 2;
  }
}
