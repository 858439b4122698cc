#include "NginxBench.h"

#include <benchmark/benchmark.h>

#include <iostream>
#include <stdexcept>

#include "net/HttpRequest.h"
#include "platform/Loop.h"

namespace qel::bench {
namespace {

constexpr int kSkipped = 77;
constexpr int kPatienceMs = 60 * 1000;

}  // namespace

int RunAgainstNginx(const std::string& name, int& argc, char** argv,
                    const std::function<void(test::TNginxServer& nginx)>& body) {
  benchmark::Initialize(&argc, argv);
  if (test::FindNginx().empty()) {
    std::cerr << name << ": nginx is not installed; nothing measured\n";
    return kSkipped;
  }
  int result = 0;
  try {
    test::TNginxServer nginx;
    if (!nginx.Running()) throw std::runtime_error(nginx.Failure());
    body(nginx);
  } catch (const std::exception& failure) {
    std::cerr << name << ": " << failure.what() << "\n";
    result = 1;
  }
  benchmark::Shutdown();
  return result;
}

void WarmUpTransfers(test::TNginxServer& nginx) {
  nginx.PutFile("warm.dat", "warm");
  const std::string url = nginx.Url("warm.dat");
  THttpRequest request;
  request.Start(std::u16string(url.begin(), url.end()), 0);
  RunLoopUntil(
      [&] {
        request.Poll();
        return request.State() == rsDone || request.State() == rsError;
      },
      kPatienceMs);
  if (request.State() != rsDone) throw std::runtime_error("the warm-up transfer failed");
}

}  // namespace qel::bench
