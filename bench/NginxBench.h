// What the benchmarks against nginx on loopback share: the run itself, with
// nginx started for it, and curl's one-time start taken before any measure.
#pragma once

#include <functional>
#include <string>

#include "NginxServer.h"

namespace qel::bench {

// Between benchmark::Initialize and Shutdown: starts nginx and runs `body`,
// which registers and runs its benchmarks. Answers the process's exit code:
// 77 (skipped, as CTest understands it) without nginx, 1 when anything
// raised, with `name` before the message.
int RunAgainstNginx(const std::string& name, int& argc, char** argv,
                    const std::function<void(test::TNginxServer& nginx)>& body);

// One small transfer through THttpRequest, so that curl's start in the
// process (TLS library and all) is part of no measured run.
void WarmUpTransfers(test::TNginxServer& nginx);

}  // namespace qel::bench
