// A complete pack being checked and unpacked into a folder on a thread of
// its own. The downloaders reach the pack code only through this, so that
// their tests can put an extraction of their choice in its place.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "platform/RsaVerify.h"

namespace qel {

class TPackExtraction {
 public:
  // Stops the extraction between blocks and waits for its threads.
  virtual ~TPackExtraction() = default;
  virtual bool Finished() const = 0;
  // Only meaningful once Finished is true.
  virtual bool Succeeded() const = 0;
  // Blocks until Finished, however long the extraction takes; asks for no stop.
  virtual void WaitUntilFinished() = 0;
};

struct TPackExtractionJob {
  std::string DestDir = {};
  // Kept alive and unchanged by the caller until the extraction is over.
  std::span<const uint8_t> Pack = {};
  std::string GameGuid = {};
  // The SHA-1 of the pack's signed region, when the caller computed it as
  // the bytes arrived; the region is then not hashed again.
  std::optional<TSha1Digest> SignedDigest = {};
  // Called on the extraction's thread once the pack proved sound and
  // before its first byte is written; an exception from it fails the run.
  std::function<void()> BeforeWriting = {};
  // Called on the extraction's thread once every byte is written and on the
  // disk, before success is reported; an exception from it fails the run.
  std::function<void()> AfterWriting = {};
};

// Starts unpacking the job's pack. Raises on failure to start.
using TPackExtractionStarter = std::function<std::unique_ptr<TPackExtraction>(TPackExtractionJob Job)>;

// The system's extraction: a TExtractThread.
std::unique_ptr<TPackExtraction> StartExtractThread(TPackExtractionJob Job);

}  // namespace qel
