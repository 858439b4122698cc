// Unpacks a pack's body into the destination folder, one block per step.
// Whole blocks are inflated ahead on a pool of worker threads; this object
// alone makes folders and writes files, in the order of the table, so a
// failure at a block leaves nothing of later blocks written.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "pack/BuffStream.h"
#include "pack/DirectoryPacker.h"
#include "pack/InflatePool.h"
#include "pack/Inflater.h"
#include "pack/PackFailure.h"
#include "pack/PackFormat.h"
#include "pack/StepResult.h"

namespace qel {

class TTreeFile;
class TTreeFlush;

struct TUnpackOptions {
  TInflatePoolOptions Inflation;
  // Told of every file written and every folder made or changed; not owned.
  TTreeFlush* Flush = nullptr;
  // Asked between the pieces of a file streamed from a block too large to
  // hold, so that a stop does not wait for the whole file; true fails the
  // step with pfStopped.
  std::function<bool()> StopRequested;
};

class TDirectoryUnpacker : public TDirectoryPacker {
 public:
  explicit TDirectoryUnpacker(std::string DestDir, TUnpackOptions options = {});
  // Stops the workers and waits for them.
  ~TDirectoryUnpacker() override;

  // Reads and checks the entry table, then makes DestDir if it is missing:
  // srContinue when ready for the first block, srFailed otherwise (and then
  // nothing was written). The body must outlive the unpacker.
  TStepResult Open(std::span<const uint8_t> body);
  // Unpacks one block: srContinue while blocks remain, srDone when the
  // body ended with every entry written and TotalSize right, else srFailed.
  TStepResult Step();
  // Why Open or Step answered srFailed; pfNone until then. Blocks are
  // counted from 0 in body order, entries by their index in the table.
  const TPackFailure& Failure() const { return Failure_; }

 private:
  // Runs Open's or Step's work; a failure escaping it is recorded (unless
  // one already was) and answers srFailed.
  TStepResult Guarded(TStepResult (TDirectoryUnpacker::*phase)());
  TStepResult OpenOrThrow();
  TStepResult StepOrThrow();
  // Hands the pool the blocks after the current one that it may inflate
  // ahead, as far as its bounds allow. Stops at a header it cannot read:
  // the step that reaches it reports it.
  void QueueAhead();
  // Whether a block is inflated whole (by the pool) rather than stored,
  // streamed or refused.
  bool InflatesWhole(const TBlockHeader& block) const;
  // The parts of a step answer srContinue when the block may go on.
  // Writes the next `count` entries from `data`; srFailed when they run
  // past the table or the data, or a folder or file cannot be written.
  TStepResult WriteEntries(std::span<const uint8_t> data, int32_t count, int64_t& written);
  TStepResult WriteFile(const std::string& path, std::span<const uint8_t> content);
  TStepResult CloseFile(TTreeFile& file);
  TStepResult WriteSingleFile(int32_t unpacked_size, int32_t packed_size, int64_t& written);
  TStepResult StreamSingleFile(TTreeFile& file, int32_t unpacked_size);
  // The current block's bytes from the pool; none, with the failure
  // recorded (at the current entry when `at_entry`), when they did not inflate.
  std::optional<std::span<const uint8_t>> TakeInflated(int32_t unpacked_size, bool at_entry);
  // Record the first failure, in the current block, and answer srFailed.
  TStepResult Fail(TPackFailureKind kind, int64_t expected = 0, int64_t actual = 0);
  TStepResult FailAtEntry(TPackFailureKind kind, int64_t expected = 0, int64_t actual = 0);
  TStepResult FailAtPath(TPackFailureKind kind, const std::string& path, const std::exception& why);

  TUnpackOptions Options_;
  std::span<const uint8_t> Body_;
  int32_t BodyLength_ = 0;
  int32_t TotalSize_ = 0;
  int32_t MaxBlockSize_ = 0;
  int32_t NextEntry_ = 0;
  int64_t Unpacked_ = 0;
  int32_t NextBlock_ = 0;
  std::unique_ptr<TBuffStream> Stream_;
  std::unique_ptr<TInflater> Inflater_;
  // -1 while the table is read.
  int32_t BlockIndex_ = -1;
  // Where the look-ahead for the pool stands: the next block it examines.
  int32_t AheadOffset_ = 0;
  int32_t AheadBlock_ = 0;
  bool AheadEnded_ = false;
  // Made with the first block inflated whole; destroyed before the body.
  std::unique_ptr<TInflatePool> Pool_;
  TPackFailure Failure_;
};

}  // namespace qel
