// A stand-in for the game client in its own process: it listens on its game
// window, announces itself to the plug-in's window with a "ready" call, and
// echoes every answer back as a call request ("echo <kind> <code>" with the
// answer's id and values), until an answer of kind 2 ends it.
//   msg_game_peer <game window> <plug-in window> [garbage]
// "garbage" first sends a request whose value list does not fit its block.
// Exit codes: 0 done, 2 setup failed, 3 a send was not taken, 4 no answer.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "GameChannel.h"
#include "msg/PageCallKind.h"

namespace {

constexpr int kPatienceMs = 20000;

int Run(qel::TWindowHandle game, qel::TWindowHandle plugin, bool garbage) {
  using namespace qel;
  test::GameChannelClient client(game, plugin);
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
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s <game window> <plug-in window> [garbage]\n", argv[0]);
    return 2;
  }
  const auto game = static_cast<qel::TWindowHandle>(std::strtoull(argv[1], nullptr, 0));
  const auto plugin = static_cast<qel::TWindowHandle>(std::strtoull(argv[2], nullptr, 0));
  const bool garbage = argc > 3 && std::string(argv[3]) == "garbage";
  try {
    return Run(game, plugin, garbage);
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "msg_game_peer: %s\n", failure.what());
    return 2;
  }
}
