// Unpacks a pack's body into the destination folder, one block per step.
#pragma once

#include <cstdint>
#include <exception>
#include <memory>
#include <span>
#include <string>

#include "pack/BuffStream.h"
#include "pack/DirectoryPacker.h"
#include "pack/Inflater.h"
#include "pack/PackFailure.h"
#include "pack/StepResult.h"

namespace qel {

class TDirectoryUnpacker : public TDirectoryPacker {
 public:
  explicit TDirectoryUnpacker(std::string DestDir);
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
  // The parts of a step answer srContinue when the block may go on.
  // Writes the next `count` entries from `data`; srFailed when they run
  // past the table or the data, or a folder or file cannot be written.
  TStepResult WriteEntries(std::span<const uint8_t> data, int32_t count, int64_t& written);
  TStepResult WriteFile(const std::string& path, std::span<const uint8_t> content);
  TStepResult WriteSingleFile(int32_t unpacked_size, int32_t packed_size, int64_t& written);
  // False when the block's data do not inflate to `unpacked_size` bytes.
  bool FillBlockBuffer(int32_t unpacked_size, int32_t packed_size);
  // Record the first failure, in the current block, and answer srFailed.
  TStepResult Fail(TPackFailureKind kind, int64_t expected = 0, int64_t actual = 0);
  TStepResult FailAtEntry(TPackFailureKind kind, int64_t expected = 0, int64_t actual = 0);
  TStepResult FailAtPath(TPackFailureKind kind, const std::string& path, const std::exception& why);

  std::span<const uint8_t> Body_;
  int32_t BodyLength_ = 0;
  int32_t TotalSize_ = 0;
  int32_t MaxBlockSize_ = 0;
  int32_t NextEntry_ = 0;
  int64_t Unpacked_ = 0;
  int32_t NextBlock_ = 0;
  std::unique_ptr<TBuffStream> Stream_;
  std::unique_ptr<TInflater> Inflater_;
  // Grows to the largest block so far, never beyond MaxBlockSize. Single-file
  // blocks that fit use it too; larger ones inflate straight into their file.
  std::unique_ptr<uint8_t[]> BlockBuffer_;
  int32_t BlockBufferSize_ = 0;
  // -1 while the table is read.
  int32_t BlockIndex_ = -1;
  TPackFailure Failure_;
};

}  // namespace qel
