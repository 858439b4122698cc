// A complete pack being checked and unpacked into a folder on a thread of
// its own. The downloader reaches the pack code only through this, so that
// its tests can put an extraction of their choice in its place.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

namespace qel {

class TPackExtraction {
 public:
  virtual ~TPackExtraction() = default;
  virtual bool Finished() const = 0;
  // Only meaningful once Finished is true.
  virtual bool Succeeded() const = 0;
  // Blocks until Finished, however long the extraction takes; asks for no stop.
  virtual void WaitUntilFinished() = 0;
};

// Starts unpacking `Pack` (kept alive and unchanged by the caller until the
// extraction has finished) into `DestDir`. Raises on failure to start.
using TPackExtractionStarter = std::function<std::unique_ptr<TPackExtraction>(
    const std::string& DestDir, std::span<const uint8_t> Pack, const std::string& GameGuid)>;

// The system's extraction: a TExtractThread.
std::unique_ptr<TPackExtraction> StartExtractThread(const std::string& DestDir, std::span<const uint8_t> Pack,
                                                    const std::string& GameGuid);

}  // namespace qel
