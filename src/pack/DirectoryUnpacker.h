// Unpacks a pack's body into the destination folder, one block per step.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "pack/BuffStream.h"
#include "pack/DirectoryPacker.h"
#include "pack/Inflater.h"
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

 private:
  TStepResult OpenOrThrow();
  TStepResult StepOrThrow();
  // Writes the next `count` entries from `data`; false when they run past
  // the table or the data.
  bool WriteEntries(std::span<const uint8_t> data, int32_t count, int64_t& written);
  bool WriteSingleFile(int32_t unpacked_size, int32_t packed_size, int64_t& written);
  bool FillBlockBuffer(int32_t unpacked_size, int32_t packed_size);

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
};

}  // namespace qel
