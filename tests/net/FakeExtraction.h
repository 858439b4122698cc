// Extractions that a downloader test scripts: each keeps the pack it was
// given and finishes, succeeded or failed, when the test says.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "net/PackExtraction.h"

namespace qel::test {

struct TExtractionRun {
  std::string DestDir;
  std::string GameGuid;
  // The pack's bytes, read when the run finishes: the downloader must keep
  // them alive until then.
  std::string Pack;
  std::span<const uint8_t> Source;
  std::optional<TSha1Digest> SignedDigest;
  std::function<void()> AfterWriting;
  bool Finished = false;
  bool Succeeded = false;
  bool Waited = false;
  bool Destroyed = false;

  void Finish(bool succeeded);
};

class TScriptedExtractions {
 public:
  // Extractions finish as soon as they are started, with this outcome;
  // with FinishAtOnce false they run until Finish or a wait.
  bool FinishAtOnce = true;
  bool Succeed = true;

  TPackExtractionStarter Starter();
  std::deque<TExtractionRun> Runs;
};

}  // namespace qel::test
